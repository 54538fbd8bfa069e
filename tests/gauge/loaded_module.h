// The native module file, loaded the way a host loads it: by path, with only
// its two exported records looked up by name.
#pragma once

#include <dlfcn.h>

#include <string>

#include "gauge/gauge_records.h"

namespace orbitune::testing {

struct LoadedModule {
  void* handle = nullptr;
  ImportTable* import_table = nullptr;
  Linkage* linkage = nullptr;
  std::string problem;  // empty when loaded and both records found
};

// Loaded once per process and never unloaded: the module keeps its state for
// as long as it stays loaded, as in the host.
inline LoadedModule& loaded_module() {
  static LoadedModule module = [] {
    LoadedModule m;
    m.handle = ::dlopen(ORBITUNE_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    if (m.handle == nullptr) {
      m.problem = std::string("dlopen: ") + ::dlerror();
      return m;
    }
    m.import_table = static_cast<ImportTable*>(::dlsym(m.handle, "ImportTable"));
    m.linkage = static_cast<Linkage*>(::dlsym(m.handle, "Linkage"));
    if (m.import_table == nullptr || m.linkage == nullptr) {
      m.problem = "the module does not export ImportTable and Linkage";
    }
    return m;
  }();
  return module;
}

}  // namespace orbitune::testing
