#include "mirc_dll_calls.h"

#include <cctype>
#include <vector>

namespace {

bool is_name_character(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

std::string trimmed(const std::string& s) {
  const std::size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

struct evaluator {
  mirc_dlls& dlls;
  std::string complaint;

  // Evaluates text[at, end) into out, stopping at a ',' or ')' of depth 0
  // when inside an identifier's parentheses; at is left on that character.
  bool evaluate(const std::string& text, std::size_t& at, std::string& out, bool in_parameters) {
    while (at < text.size()) {
      const char c = text[at];
      if (in_parameters && (c == ',' || c == ')')) return true;
      if (c == '%' && at + 1 < text.size() && is_name_character(text[at + 1])) {
        complaint = "variables are not modelled";
        return false;
      }
      if (c != '$' || at + 1 >= text.size() || !is_name_character(text[at + 1])) {
        out += c;
        ++at;
        continue;
      }
      std::size_t name_end = at + 1;
      while (name_end < text.size() && is_name_character(text[name_end]))
        ++name_end;
      std::string name = text.substr(at + 1, name_end - at - 1);
      for (char& n : name)
        n = static_cast<char>(std::tolower(static_cast<unsigned char>(n)));
      at = name_end;
      if (name == "null" && (at >= text.size() || text[at] != '(')) continue; // $null: nothing
      if (name != "dll" || at >= text.size() || text[at] != '(') {
        complaint = "identifier $" + name + " is not modelled";
        return false;
      }
      std::vector<std::string> parameters(1);
      for (++at;; ++at) {
        if (!evaluate(text, at, parameters.back(), true)) return false;
        if (at >= text.size()) {
          complaint = "$dll: no closing parenthesis";
          return false;
        }
        if (text[at] == ')') break;
        parameters.emplace_back();
      }
      ++at;
      if (parameters.size() != 3) {
        complaint = "$dll: takes file, procedure and data";
        return false;
      }
      const dll_reply reply = dlls.call(trimmed(parameters[0]), trimmed(parameters[1]), trimmed(parameters[2]));
      if (reply.code < 0) {
        complaint = "$dll: " + reply.data;
        return false;
      }
      if (reply.code == 0) {
        complaint = "$dll: " + trimmed(parameters[1]) + " halted the script";
        return false;
      }
      if (reply.code == 3) out += reply.data;
    }
    return true;
  }
};

} // namespace

bool evaluate_line(const std::string& line, mirc_dlls& dlls, std::string& out, std::string& complaint) {
  evaluator e{dlls, {}};
  std::size_t at = 0;
  out.clear();
  if (e.evaluate(line, at, out, false)) return true;
  complaint = e.complaint;
  return false;
}
