#include "platform/sim/sim_handles.h"

#include <cctype>

namespace sim {

platform::Handle SimHandles::open(std::string description) {
  platform::Handle handle = next_;
  next_ += 4;
  open_.emplace(handle, std::move(description));
  return handle;
}

bool SimHandles::close(platform::Handle handle) { return open_.erase(handle) != 0; }

std::string SimHandles::describeOpen() const {
  std::string text;
  for (const auto& [handle, description] : open_) {
    text += "  open handle " + std::to_string(handle) + ": " + description + "\n";
  }
  return text;
}

std::string normalizePath(const std::string& path) {
  std::string key;
  key.reserve(path.size());
  for (char c : path) {
    if (c == '/') c = '\\';
    if (c == '\\' && !key.empty() && key.back() == '\\') continue;
    key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  while (key.size() > 2 && key.back() == '\\') key.pop_back();
  return key;
}

}  // namespace sim
