// The README's examples, run: every "$ pluvar ..." line of a code block that
// is followed by its answer must give exactly that answer and exit status,
// so the README cannot drift from the program.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"

namespace {

struct Example {
  int line;
  std::vector<std::string> args;
  std::string out;
  int status;
};

// Arguments as the shell splits them: blanks separate, single quotes keep
// blanks; a comment in parentheses after the arguments ends them.
std::vector<std::string> shell_words(const std::string &text) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && text[i] == ' ') i++;
    if (i == text.size() || text[i] == '(') break;
    std::string w;
    while (i < text.size() && text[i] != ' ') {
      if (text[i] == '\'') {
        size_t end = text.find('\'', i + 1);
        w += text.substr(i + 1, end - i - 1);
        i = end == std::string::npos ? text.size() : end + 1;
      } else {
        w += text[i++];
      }
    }
    words.push_back(w);
  }
  return words;
}

// An answer line without its trailing comment; "(exit status N)" sets the
// status.
std::string answer_text(std::string line, int *status) {
  size_t at = line.find("  ");
  while (at != std::string::npos && line.find_first_not_of(' ', at) != std::string::npos &&
         line[line.find_first_not_of(' ', at)] != '(')
    at = line.find("  ", line.find_first_not_of(' ', at));
  if (at != std::string::npos) {
    std::string comment = line.substr(line.find_first_not_of(' ', at));
    if (comment.rfind("(exit status ", 0) == 0) *status = comment[13] - '0';
    line.erase(at);
  }
  return line;
}

std::vector<Example> readme_examples() {
  std::ifstream in(std::string(PLUVAR_SOURCE_DIR) + "/README.md");
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  std::vector<Example> examples;
  for (size_t i = 0; i < lines.size(); i++) {
    if (lines[i].rfind("$ pluvar", 0) != 0) continue;
    Example e{static_cast<int>(i + 1), shell_words(lines[i].substr(8)), "", -1};
    std::vector<std::string> answer;
    for (size_t j = i + 1; j < lines.size(); j++) {
      if (lines[j].rfind("$ ", 0) == 0 || lines[j].rfind("```", 0) == 0) break;
      answer.push_back(answer_text(lines[j], &e.status));
    }
    if (answer.empty()) continue;  // described in words, not shown
    // Hit lines end in "\r\n", the response line has no line end.
    for (size_t k = 0; k < answer.size(); k++) e.out += answer[k] + (k + 1 < answer.size() ? "\r\n" : "");
    if (e.status < 0) {
      size_t code = e.out.rfind("code=");
      if (code == std::string::npos) code = e.out.rfind("\"code\":");  // a JSON answer
      e.status = code == std::string::npos ? -1 : e.out[code + 5 + (e.out[code] == '"' ? 2 : 0)] - '0';
    }
    examples.push_back(e);
  }
  return examples;
}

// Bank names and places are Windows-1252 bytes unless an option asks for
// UTF-8; the README shows them in UTF-8.
std::string windows1252_as_utf8(const std::string &bytes) {
  std::string s;
  for (unsigned char c : bytes) {
    if (c < 0x80) {
      s += static_cast<char>(c);
    } else {
      s += static_cast<char>(0xC0 | c >> 6);
      s += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return s;
}

TEST(Readme, ExamplesGiveTheirAnswers) {
  std::vector<Example> examples = readme_examples();
  EXPECT_GE(examples.size(), 50u);
  for (const Example &e : examples) {
    CliResult r = run_pluvar_cli(e.args);
    std::string out = r.out == e.out ? r.out : windows1252_as_utf8(r.out);
    EXPECT_EQ(out, e.out) << "README.md line " << e.line;
    EXPECT_EQ(r.status, e.status) << "README.md line " << e.line;
  }
}

}  // namespace
