#include "contract/registry_contract.h"

#include <windows.h>

#include "platform/os.h"
#include "platform/win32/win32_os.h"

namespace {

// A scratch key of its own under HKEY_CURRENT_USER, removed with everything below it.
class Win32Registry {
 public:
  Win32Registry()
      : base_("Software\\VandrelContract\\" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(++counter_)) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, base_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
      RegCloseKey(key);
    }
  }
  ~Win32Registry() { RegDeleteTreeA(HKEY_CURRENT_USER, base_.c_str()); }

  platform::Handle root() const { return platform::kRootCurrentUser; }
  std::string base() const { return base_; }
  platform::Registry& registry() { return platform::registry(); }
  void setValue(const std::string& subkey, const std::string& name, std::uint32_t type,
                const std::string& bytes) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (base_ + "\\" + subkey).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    LONG result =
        RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()));
    RegCloseKey(key);
    ASSERT_EQ(result, ERROR_SUCCESS);
  }

 private:
  static inline unsigned counter_ = 0;
  platform::ScopedInstall win32_{platform::win32::win32Os()};
  std::string base_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, RegistryContract, Win32Registry);

}  // namespace
