// The device's libraries: what LoadLibrary finds and which functions GetProcAddress hands out.
// A library is present when the device has it ("coredll.dll" always) and, where a model says
// so, only while its file exists under \Windows.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/library.h"

namespace sim {

class Device;

struct LibraryExport {
  std::u16string name;  // empty: by ordinal only
  WORD ordinal = 0;     // 0: by name only
  FARPROC proc = nullptr;
};

struct Library {
  std::u16string name;     // "coredll.dll", compared ignoring case
  bool needsFile = false;  // present only while \Windows\NAME exists
  std::vector<LibraryExport> exports;
};

class Libraries {
 public:
  // Adds a library or more exports to one already known.
  void Add(Library lib);
  HMODULE Load(Device& dev, std::u16string_view fileName);
  // The library's module while it is loaded, else 0.
  HMODULE Loaded(std::u16string_view fileName) const;
  FARPROC Find(HMODULE module, LPCWSTR procName) const;
  bool Free(HMODULE module);
  // How many loads of the library are not yet freed.
  int LoadCount(std::u16string_view name) const;

 private:
  Library* Named(std::u16string_view name);
  std::vector<Library> libs_;
  std::map<HMODULE, int> loaded_;  // module -> load count; a module is the index + base
};

// The vendor's utility library "HtcUtil.dll", present while \Windows\HtcUtil.dll exists.
void AddVendorLibraries(Libraries& libraries);

}  // namespace sim
