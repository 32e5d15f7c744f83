#pragma once

// Loads the plugin at run time the way a file manager does, by path, and looks up its four
// functions. Used by the host program and the end-to-end tests.

#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "plugin/content_plugin.h"

namespace pagefields {

class PluginLibrary {
 public:
  using GetSupportedField = int(PAGEFIELDS_CALL*)(int, char*, char*, int);
  using GetDetectString = void(PAGEFIELDS_CALL*)(char*, int);
  using GetValue = int(PAGEFIELDS_CALL*)(const char*, int, int, void*, int, int);
  using PluginUnloading = void(PAGEFIELDS_CALL*)(void);

  explicit PluginLibrary(const std::string& path) {
#if defined(_WIN32)
    module_ = ::LoadLibraryA(path.c_str());
    if (module_ == nullptr) {
      error_ = "cannot load " + path + " (error " + std::to_string(::GetLastError()) + ")";
      return;
    }
#else
    module_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module_ == nullptr) {
      const char* reason = ::dlerror();
      error_ = reason != nullptr ? reason : "cannot load " + path;
      return;
    }
#endif
    get_supported_field = Lookup<GetSupportedField>("ContentGetSupportedField");
    get_detect_string = Lookup<GetDetectString>("ContentGetDetectString");
    get_value = Lookup<GetValue>("ContentGetValue");
    plugin_unloading = Lookup<PluginUnloading>("ContentPluginUnloading");
  }

  ~PluginLibrary() {
    if (module_ == nullptr) return;
    if (plugin_unloading != nullptr) plugin_unloading();
#if defined(_WIN32)
    ::FreeLibrary(module_);
#else
    ::dlclose(module_);
#endif
  }

  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // Empty when the library loaded and exports all four functions.
  const std::string& error() const {
    return error_;
  }

  GetSupportedField get_supported_field = nullptr;
  GetDetectString get_detect_string = nullptr;
  GetValue get_value = nullptr;
  PluginUnloading plugin_unloading = nullptr;

 private:
  template <typename Function>
  Function Lookup(const char* name) {
#if defined(_WIN32)
    auto* symbol = reinterpret_cast<void*>(::GetProcAddress(module_, name));
#else
    void* symbol = ::dlsym(module_, name);
#endif
    if (symbol == nullptr && error_.empty()) error_ = std::string("missing export ") + name;
    return reinterpret_cast<Function>(symbol);
  }

#if defined(_WIN32)
  HMODULE module_ = nullptr;
#else
  void* module_ = nullptr;
#endif
  std::string error_;
};

}  // namespace pagefields
