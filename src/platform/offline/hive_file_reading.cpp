// The parent's side of the settings read from a hive (HiveEditor::subkeyNames, queryText):
// answers from the child are taken only within the bounds asked for.
#include "platform/offline/hive_file.h"

namespace platform::offline {
namespace {

// A key's name is at most 255 characters, each at most three bytes of UTF-8 (HiveEditor leaves
// longer ones out); anything longer in an answer is not believed.
constexpr std::size_t kLongestKeyName = 255 * 3;

}  // namespace

Lookup HiveFile::subkeyNames(const std::vector<std::string>& path, std::uint32_t most,
                             std::vector<std::string>& names, std::uint32_t& total,
                             std::string& why) {
  names.clear();
  total = 0;
  std::string answer;
  if (!ask(hive_protocol::Writer().u8(hive_protocol::kListSubkeys).texts(path).u32(most).bytes(),
           answer)) {
    why = "the child reading it failed";
    return Lookup::kFailed;
  }
  hive_protocol::Reader in(answer);
  auto found = static_cast<Lookup>(in.u8());
  std::uint32_t listed = in.u32();
  std::vector<std::string> received = in.texts();
  std::string reason = in.text();
  bool believable =
      in.done() && found <= Lookup::kFailed && received.size() <= most && received.size() <= listed;
  for (const std::string& name : received) {
    if (name.empty() || name.size() > kLongestKeyName || name.find('\0') != std::string::npos) {
      believable = false;
    }
  }
  if (!believable) {
    fail("the child reading it gave a malformed answer");
    why = "the child reading it failed";
    return Lookup::kFailed;
  }
  if (found == Lookup::kFailed) why = reason;
  if (found == Lookup::kFound) {
    names = std::move(received);
    total = listed;
  }
  return found;
}

Lookup HiveFile::queryText(const std::vector<std::string>& path, const std::string& name,
                           std::uint32_t longest, std::string& text, std::string& why) {
  text.clear();
  std::string answer;
  if (!ask(hive_protocol::Writer()
               .u8(hive_protocol::kQueryText)
               .texts(path)
               .text(name)
               .u32(longest)
               .bytes(),
           answer)) {
    why = "the child reading it failed";
    return Lookup::kFailed;
  }
  hive_protocol::Reader in(answer);
  auto found = static_cast<Lookup>(in.u8());
  in.u32();  // the type, said in `reason` when it matters
  std::string received = in.text();
  std::string reason = in.text();
  // UTF-8 takes at most three bytes for each two of UTF-16 (four for a pair, which is four).
  if (!in.done() || found > Lookup::kFailed || received.size() > longest / 2 * 3 ||
      received.find('\0') != std::string::npos) {
    fail("the child reading it gave a malformed answer");
    why = "the child reading it failed";
    return Lookup::kFailed;
  }
  if (found == Lookup::kFailed) why = reason;
  if (found == Lookup::kFound) text = std::move(received);
  return found;
}

}  // namespace platform::offline
