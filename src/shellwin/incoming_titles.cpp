#include "shellwin/incoming_titles.h"

namespace shellwin {
namespace {

constexpr std::u16string_view kTitles[] = {
    u"Phone - Incoming...",
    u"Phone - Incoming",
    u"電話 - 來電...",
    u"電話 - 來電",
    u"電話 - 撥入電話...",
    u"电话 - 拨入...",
    u"电话 - 拨入",
    u"Téléphone - Entrant...",
    u"Téléphone - Appel entrant...",
    u"Téléphone - Appel entrant",
    u"Telefon - Eingehender Anruf...",
    u"Telefon - Eingehend...",
    u"Telefon - Eingehender Anruf",
    u"Eingehender Anruf",
    u"Telefoon - inkomend...",
    u"Telefoon - inkomend",
    u"Telefone - A receber...",
    u"Telefone - A receber",
    u"Telefon - Příchozí...",
    u"Telefon - Příchozí",
    u"Τηλέφωνο - Εισερχόμενη...",
    u"Τηλέφωνο - Εισερχόμενη",
    u"電話 - 着信中...",
    u"電話 - 着信中",
    u"전화 - 받는 중...",
    u"전화 - 받는 중",
    u"Telefon - Indgående...",
    u"Telefon - Indgående",
    u"Telefono - In entrata...",
    u"Telefono - In entrata",
    u"Telefono - In arrivo...",
    u"Telefono - In arrivo",
    u"Telefon \u2014 przychodzące...",
    u"Telefon \u2014 przychodzące",
    u"Telefone - Entrada...",
    u"Telefone - Entrada",
    u"Телефон - входящий звонок...",
    u"Telefon - inkommande...",
    u"Telefon - inkommande",
    u"Teléfono: recibiendo...",
    u"Telefon - innkommende...",
    u"Telefon - innkommende",
    u"Telefon - Gelen Arama...",
    u"Telefon - Gelen Arama",
    u"Teléfono: llamada entrante...",
    u"Teléfono: llamada entrante",
};
static_assert(std::size(kTitles) == 46);

}  // namespace

std::span<const std::u16string_view> IncomingTitles() {
  return kTitles;
}

}  // namespace shellwin
