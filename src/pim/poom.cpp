#include "pim/poom.h"

#include "pim/com_ref.h"
#include "platform/process_local.h"
#include "platform/relaxed.h"

namespace pim {
namespace {

struct Session {
  // A process that ends without closing the session still gives the object back.
  ~Session() {
    if (IPOutlookApp* a = app) a->Release();
  }
  platform::Relaxed<IPOutlookApp*> app{nullptr};
  bool comInitialized = false;  // this thread's CoInitializeEx awaits its CoUninitialize
};

Session& Poom() {
  return platform::ProcessGlobal<Session>();
}

}  // namespace

IPOutlookApp* PoomSession() {
  return Poom().app;
}

HRESULT OpenPoomSession(HWND notifyWindow) {
  Session& s = Poom();
  if (s.app) return S_OK;
  HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (FAILED(hr)) return hr;
  IPOutlookApp* app = nullptr;
  hr = CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp2,
                        reinterpret_cast<void**>(&app));
  if (SUCCEEDED(hr) && app)
    hr = app->Logon(static_cast<long>(notifyWindow));
  else if (SUCCEEDED(hr))
    hr = E_FAIL;
  if (FAILED(hr)) {
    if (app) app->Release();
    // Every failed attempt gives its COM use back, so retries do not pile up.
    CoUninitialize();
    return hr;
  }
  s.comInitialized = true;
  s.app = app;
  return S_OK;
}

void ClosePoomSession() {
  Session& s = Poom();
  if (IPOutlookApp* app = s.app) {
    s.app = nullptr;
    app->Logoff();
    app->Release();
  }
  if (s.comInitialized) CoUninitialize();
  s.comInitialized = false;
}

HRESULT SubscribeFolderNotifications(int folder, ULONG flags) {
  IPOutlookApp* app = PoomSession();
  if (!app) return E_FAIL;
  if (flags == 0) return E_INVALIDARG;
  ComRef<IFolder> f;
  HRESULT hr = app->GetDefaultFolder(folder, f.Out());
  if (FAILED(hr)) return hr;
  if (!f) return E_FAIL;
  ComRef<IItem> item;
  hr = f->QueryInterface(IID_IItem, item.OutVoid());
  if (FAILED(hr)) return hr;
  if (!item) return E_FAIL;
  CEPROPVAL value{PIMPR_FOLDERNOTIFICATIONS, 0, 0, flags};
  return item->SetProps(0, 1, &value);
}

}  // namespace pim
