#include "files/photo_list.h"

#include "files/host_names.h"

namespace devapi::files {

std::vector<std::string> CaptureListNames(std::string_view list) {
  std::vector<std::string> names;
  for (size_t end = list.find('\n'); end != std::string_view::npos; end = list.find('\n')) {
    std::string_view name = list.substr(0, end);
    list.remove_prefix(end + 1);
    if (!name.empty() && name.back() == '\r') name.remove_suffix(1);
    if (name.size() <= kMaxListName && IsSingleComponent(name)) names.emplace_back(name);
  }
  return names;
}

}  // namespace devapi::files
