#include "host/source.h"

#include <cstdlib>
#include <string>

#include "host/run_end.h"
#include "host/typing.h"

std::FILE* source_file;
const char* source_name = "";

namespace {

std::string line;     // the line being typed, its line end included
std::size_t typed;    // how much of it has been typed
long line_number;     // of that line in the file, as an editor counts lines
bool ended_in_cr;     // the line before ended in a carriage return
bool first_line = true;

int read_byte() {
  int c = std::fgetc(source_file);
  if (c == EOF && std::ferror(source_file)) {
    std::perror("reading BASIC source file");
    std::exit(1);
  }
  return c;
}

// Reads the next line, up to and including a line feed or a carriage return;
// false at the end of the file.
bool read_line() {
  line.clear();
  typed = 0;
  for (int c; (c = read_byte()) != EOF;) {
    line += char(c);
    if (c == '\n' || c == '\r') break;
  }
  if (line.empty()) return false;
  if (!(ended_in_cr && line == "\n")) ++line_number;  // CR LF ends one line
  ended_in_cr = line.back() == '\r';
  if (line.back() != '\n' && line.back() != '\r') line += '\n';
  return true;
}

bool skip_start_of_file() {
  first_line = false;
  static const std::string BYTE_ORDER_MARK = "\xEF\xBB\xBF";
  if (line.compare(0, BYTE_ORDER_MARK.size(), BYTE_ORDER_MARK) == 0)
    line.erase(0, BYTE_ORDER_MARK.size());
  return line[0] == '#';  // an interpreter line, up to its CR or LF
}

// The next line to type: skipped and left-out lines are passed over.
bool next_line() {
  while (read_line()) {
    if (first_line && skip_start_of_file()) continue;
    std::size_t bad = first_untypeable(line);
    if (bad == ALL_TYPEABLE) {
      if (too_long_to_type(line)) report_cut(source_name, line_number, INPUT_LINE_LENGTH), note_line_not_taken();
      return true;
    }
    report_left_out(source_name, line_number, line, bad);
    note_line_not_taken();
  }
  return false;
}

}  // namespace

int next_source_char() {
  if (!source_file) return EOF;
  if (typed == line.size() && !next_line()) {
    std::fclose(source_file);
    source_file = nullptr;
    return EOF;
  }
  return static_cast<unsigned char>(line[typed++]);
}
