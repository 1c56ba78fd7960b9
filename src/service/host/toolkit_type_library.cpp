#include "service/host/toolkit_type_library.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace service {
namespace {

platform::typelib::Guid Guid(const char* text) { return *platform::typelib::ParseGuid(text); }

}  // namespace

platform::typelib::TypeLibrary ToolkitTypeLibrary() {
  platform::typelib::TypeLibrary library;
  library.libid = Guid("{6B1D3E20-4C7A-4F0E-9A3B-51D2C8E47A10}");
  library.name = "dwNTServLib";
  library.major = 1;
  library.minor = 0;
  library.interfaces = {
      {Guid("{6B1D3E21-4C7A-4F0E-9A3B-51D2C8E47A10}"), "IdwEasyService"},
      {Guid("{6B1D3E22-4C7A-4F0E-9A3B-51D2C8E47A10}"), "IdwEasyServConfig"},
      {Guid("{6B1D3E23-4C7A-4F0E-9A3B-51D2C8E47A10}"), "IdwEasyServiceHost"},
  };
  return library;
}

bool PlaceToolkitTypeLibrary(const std::string& path, std::string* error) {
  std::error_code code;
  if (std::filesystem::exists(path, code)) return true;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), code);
  const std::string temp = path + ".new";
  {
    std::ofstream file(temp, std::ios::binary | std::ios::trunc);
    file << platform::typelib::EncodeTypeLibrary(ToolkitTypeLibrary());
    if (!file.flush()) {
      *error = "cannot write " + temp;
      std::filesystem::remove(temp, code);
      return false;
    }
  }
  // Whole or not at all: a reader never sees half a file.
  std::filesystem::rename(temp, path, code);
  if (code) {
    *error = "cannot place " + path + ": " + code.message();
    std::filesystem::remove(temp, code);
    return false;
  }
  return true;
}

}  // namespace service
