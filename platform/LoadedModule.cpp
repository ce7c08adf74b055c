#include "platform/LoadedModule.h"

#include <dlfcn.h>

#include <stdexcept>

namespace omrek {

namespace {
std::runtime_error LoaderError() {
  const char* text = ::dlerror();
  return std::runtime_error(text != nullptr ? text : "unknown error");
}
}  // namespace

LoadedModule::LoadedModule(const std::string& path) : handle_(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
  if (handle_ == nullptr) throw LoaderError();
}

void* LoadedModule::Symbol(const std::string& name) const {
  void* address = ::dlsym(handle_, name.c_str());
  if (address == nullptr) throw LoaderError();
  return address;
}

}  // namespace omrek
