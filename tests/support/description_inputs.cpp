#include "tests/support/description_inputs.h"

using namespace std::string_literals;

const char kSampleDescription[] =
    "\xEF\xBB\xBF; my mod\n[ru]\ntitle = \xD0\x9C\xD0\xBE\xD0\xB9\n[en]\n"
    "title=My mod\ndescription = Line one = \"two\"\t\n[ en ]\nversion = 1.0\n"
    "[]\n==\nstray\n[de]\n\t title = a\rb \n[de]\ntitle = Mein Mod\nlast = x";

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

const std::vector<DescriptionInput>& DescriptionInputs() {
  static const std::vector<DescriptionInput> inputs = [] {
    std::vector<DescriptionInput> all;
    // Each line follows "[en]" and is followed by "k = v", which shows the
    // section that is current after it.
    const struct {
      const char* line;
      const char* record;
    } lines[] = {
        {"[ru]", "[ru]\nk=v\n"},
        {"[ de ]", "[de]\nk=v\n"},
        {"[]", "[]\nk=v\n"},
        {"[  ]", "[]\nk=v\n"},
        {"[[en]]", "[[en]]\nk=v\n"},
        {"title = My mod", "[en]\nk=v\ntitle=My mod\n"},
        {"\t description=A = B ", "[en]\ndescription=A = B\nk=v\n"},
        {"[a=b]", "[en]\n[a=b]\nk=v\n"},
        {"title =", "[en]\nk=v\ntitle=\n"},
        {"= x", "[en]\n=x\nk=v\n"},
        {"=", "[en]\nk=v\n"},
        {"==", "[en]\n==\nk=v\n"},
        {"# title = x", "[en]\n# title=x\nk=v\n"},
        {"Title = \"q\" \\n", "[en]\nTitle=\"q\" \\n\nk=v\n"},
        {"[en] ; English", "[en]\nk=v\n"},
        {"[en", "[en]\nk=v\n"},
        {"; note", "[en]\nk=v\n"},
        {"some text", "[en]\nk=v\n"},
    };
    for (const auto& line : lines) {
      all.push_back(
          {"line " + std::string(line.line), "[en]\n"s + line.line + "\nk = v\n", line.record});
    }
    const std::string longLines = "[en]\r\nlong = " + std::string(3 << 20, 'x') + "\r\n" +
                                  std::string(1 << 18, '\n') +
                                  "end = " + std::string(1 << 20, 'z') + "\x1Alost = 1\r\n";
    std::vector<DescriptionInput> files = {
        {"empty", "", ""},
        {"blank and one-byte lines", "\n \n\t\r\n[\n=\nx", ""},
        {"header without keys", "[en]\n[de]\ntitle = T\n[ru]\n", "[de]\ntitle=T\n"},
        {"repeated header merges, later value wins", "[en]\na=1\nb=2\n[de]\nc=3\n[en]\na=4\nb=2\n",
         "[de]\nc=3\n[en]\na=4\nb=2\n"},
        {"keys before the first header", "a=1\n[en]\nb=2\n", "[]\na=1\n[en]\nb=2\n"},
        {"sections and keys ordered by unsigned bytes",
         "[pt_BR]\nt=1\n[\xC3\xA9]\nt=1\n[pt]\nt=1\n"
         "[en]\nb=1\n\xC3\xA9=1\nB=1\n[Z]\nt=1\n[de]\nt=1\n",
         "[Z]\nt=1\n[de]\nt=1\n[en]\nB=1\nb=1\n\\xC3\\xA9=1\n"
         "[pt]\nt=1\n[pt_BR]\nt=1\n[\\xC3\\xA9]\nt=1\n"},
        {"BOM hides the first header", "\xEF\xBB\xBF[en]\ntitle = x\n[de]\ntitle = y\n",
         "[]\ntitle=x\n[de]\ntitle=y\n"},
        {"BOM joins the first key", "\xEF\xBB\xBFtitle = x", "[]\n\\xEF\\xBB\\xBFtitle=x\n"},
        {"NUL bytes kept", "[e\0n]\nti\0tle = a\0b\n"s, "[e\\x00n]\nti\\x00tle=a\\x00b\n"},
        {"lone CR stays", "title = a\rb\r\n\r[en]\r\r\n", "[]\ntitle=a\\x0Db\n"},
        {"Ctrl-Z ends input", "a=1\n\x1A\nb=2\n", "[]\na=1\n"},
        {"Ctrl-Z mid-line", "a=12\x1Ax\nb=2\n", "[]\na=12\n"},
        {"Ctrl-Z first", "\x1Ak=1\n", ""},
        {"sample", kSampleDescription,
         "[]\n==\n[de]\nlast=x\ntitle=Mein Mod\n[en]\ndescription=Line one = \"two\"\n"
         "title=My mod\nversion=1.0\n[ru]\ntitle=\\xD0\\x9C\\xD0\\xBE\\xD0\\xB9\n"},
        {"lines longer than the reader's buffers, cut by a Ctrl-Z", longLines,
         "[en]\nend=" + std::string(1 << 20, 'z') + "\nlong=" + std::string(3 << 20, 'x') + "\n"},
    };
    all.insert(all.end(), files.begin(), files.end());
    return all;
  }();
  return inputs;
}
