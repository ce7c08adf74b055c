#pragma once

#include <string>

namespace omrek {

// A shared module loaded into the program for the rest of its run: it is
// never unloaded, as what it leaves behind (its threads, its exit handlers)
// would point into nothing.
class LoadedModule {
 public:
  // Raises std::runtime_error with the loader's own text when the module
  // cannot be loaded.
  explicit LoadedModule(const std::string& path);

  // The address of `name`; raises std::runtime_error when there is none.
  void* Symbol(const std::string& name) const;
  template <typename Function>
  Function Find(const std::string& name) const {
    return reinterpret_cast<Function>(Symbol(name));
  }

 private:
  void* handle_;
};

}  // namespace omrek
