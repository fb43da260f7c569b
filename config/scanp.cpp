// Pattern scanner. Each directive is matched against a field of the text that begins at
// the current position and ends at the width (exact or at most) or, unlimited, where the
// conversion stops accepting characters.
#include "config/scanp.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "config/mess.h"
#include "config/missing.h"

namespace {

constexpr unsigned kDebug = 0x80000000u;
constexpr int kUnlimited = 999;

bool is_ws(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool is_digit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }
bool is_alpha(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

struct Directive {
  bool store = true;
  bool at_most = false;
  int width = kUnlimited;
  bool exact = false;  // a width given without '<'
  std::string_view marker;
  char conv = '\0';
  std::string_view set;  // the class or the alternatives, without brackets
};

// Reads a directive after its '%'; the position after it, or null when it is malformed.
const char* parse_directive(const char* f, Directive* d) {
  if (*f == '*') {
    d->store = false;
    ++f;
  }
  if (*f == '<') {
    d->at_most = true;
    ++f;
  }
  if (is_digit(*f)) {
    int w = 0;
    while (is_digit(*f)) w = std::min(w * 10 + (*f++ - '0'), kUnlimited);
    d->width = std::max(w, 1);
    d->exact = !d->at_most;
  }
  if (*f == '!') {
    const char* end = std::strchr(f + 1, '!');
    if (end == nullptr) return nullptr;
    d->marker = std::string_view(f + 1, static_cast<std::size_t>(end - f - 1));
    f = end + 1;
  }
  d->conv = *f;
  if (*f == '[' || *f == '(') {
    const char close = *f == '[' ? ']' : ')';
    // A class may list its closing bracket first ("[]x]"), as scanf allows.
    const char* start = f + 1;
    const char* p = start;
    if (*p == '^') ++p;
    if (close == ']' && *p == ']') ++p;
    const char* end = std::strchr(p, close);
    if (end == nullptr) return nullptr;
    d->set = std::string_view(start, static_cast<std::size_t>(end - start));
    return end + 1;
  }
  return *f == '\0' ? nullptr : f + 1;
}

bool in_class(std::string_view set, char c) {
  bool negate = false;
  if (!set.empty() && set[0] == '^') {
    negate = true;
    set.remove_prefix(1);
  }
  bool found = false;
  for (std::size_t i = 0; i < set.size() && !found; ++i) {
    if (set[i] == '/' && i + 1 < set.size()) {
      const char k = set[++i];
      found = k == 'A' ? is_alpha(c) : k == 'N' ? is_digit(c) : c == k;
    } else {
      found = set[i] == c;
    }
  }
  return found != negate;
}

// Length of the number at s (at most n characters); 0 when there is none.
int number_length(const char* s, int n, bool real) {
  int i = 0;
  if (i < n && s[i] == '-') ++i;
  int digits = 0;
  while (i < n && is_digit(s[i])) ++i, ++digits;
  if (real && i < n && s[i] == '.') {
    ++i;
    while (i < n && is_digit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return 0;
  if (real && i < n && (s[i] == 'e' || s[i] == 'E')) {
    int j = i + 1;
    if (j < n && (s[j] == '+' || s[j] == '-')) ++j;
    const int k = j;
    while (j < n && is_digit(s[j])) ++j;
    if (j > k) i = j;
  }
  return i;
}

class Scanner {
 public:
  Scanner(ScanpRec* r, va_list* args) : r_(r), args_(args) {}

  int run(const char* format) {
    const char* start = r_->text + r_->offset;
    s_ = start;
    end_ = r_->text + r_->length;
    const char* f = format;
    while (*f != '\0') {
      if (is_ws(*f)) {
        while (is_ws(*f)) ++f;
        if (s_ >= end_ || !is_ws(*s_)) break;
        while (s_ < end_ && is_ws(*s_)) ++s_;
        continue;
      }
      if (*f != '%' || f[1] == '%') {
        const char want = *f == '%' ? *++f : *f;
        if (s_ >= end_ || *s_ != want) break;
        ++s_;
        ++f;
        continue;
      }
      Directive d;
      const char* next = parse_directive(f + 1, &d);
      if (next == nullptr) {
        MESS_print(MESS_WARN, "scanp: Bad directive in format: %.50s\n", f);
        break;
      }
      const bool ok = field(d, static_cast<int>(s_ - start));
      MESS_print(kDebug, "     :%.*s:%.50s:\n", static_cast<int>(next - f), f, s_);
      if (!ok) break;
      f = next;
    }
    r_->used = static_cast<int>(s_ - start);
    MESS_print(kDebug, "SCANP:%.50s:%s:%d:%d:%d:%d:%d\n", start, format, r_->length, r_->offset, r_->used,
               r_->assigned, r_->matched);
    return r_->matched;
  }

 private:
  int avail() const { return static_cast<int>(end_ - s_); }

  void store_text(const Directive& d, const char* p, int n, bool terminate = true) {
    if (!d.store) return;
    char* dest = va_arg(*args_, char*);
    if (dest == nullptr) return;
    const int k = std::min(n, terminate ? SCANP_TEXT_MAX : n);
    std::memcpy(dest, p, static_cast<std::size_t>(k));
    if (terminate) dest[k] = '\0';
    ++r_->assigned;
  }

  void store_number(const Directive& d, bool real, double v) {
    if (!d.store) return;
    if (real) {
      if (float* dest = va_arg(*args_, float*)) *dest = static_cast<float>(v);
    } else {
      if (int* dest = va_arg(*args_, int*)) *dest = static_cast<int>(std::clamp(v, -2147483648.0, 2147483647.0));
    }
    ++r_->assigned;
  }

  // A field of n characters at s_ accepted: consumed and counted.
  bool take(int n) {
    s_ += n;
    ++r_->matched;
    return true;
  }

  bool numeric(const Directive& d, bool real, bool padded) {
    const int limit = std::min(d.width, avail());
    if (d.exact && limit < d.width) return false;
    int i = 0;
    if (padded)
      while (i < limit && (s_[i] == ' ' || s_[i] == '\t')) ++i;
    int n = number_length(s_ + i, limit - i, real);
    bool missing = false;
    if (n == 0) {
      const int m = static_cast<int>(d.marker.size());
      if (m == 0 || m > limit - i || std::string_view(s_ + i, static_cast<std::size_t>(m)) != d.marker) return false;
      n = m;
      missing = true;
    }
    const char* num = s_ + i;
    i += n;
    if (padded)
      while (i < limit && (s_[i] == ' ' || s_[i] == '\t')) ++i;
    // An exact width is filled by the number (with its padding); a missing marker stands
    // for the field whatever its width, so short markers in fixed columns still read.
    if (d.exact && i != d.width && !missing) return false;
    if (missing && d.exact && padded) i = std::max(i, std::min(d.width, limit));
    if (missing) {
      store_number(d, real, MISSING);
    } else {
      const std::string text(num, static_cast<std::size_t>(n));
      store_number(d, real, std::strtod(text.c_str(), nullptr));
    }
    return take(i);
  }

  // Characters accepted one by one by keep; the width rules decide the field.
  template <typename Keep>
  bool run_of(const Directive& d, Keep keep) {
    const int limit = std::min(d.width, avail());
    int n = 0;
    while (n < limit && keep(s_[n])) ++n;
    if (n == 0 || (d.exact && n != d.width)) return false;
    store_text(d, s_, n);
    return take(n);
  }

  bool alternatives(const Directive& d) {
    std::string_view rest = d.set;
    while (true) {
      const std::size_t bar = rest.find('|');
      const std::string_view alt = rest.substr(0, bar);
      if (!alt.empty() && static_cast<int>(alt.size()) <= avail() &&
          std::string_view(s_, alt.size()) == alt) {
        store_text(d, s_, static_cast<int>(alt.size()));
        return take(static_cast<int>(alt.size()));
      }
      if (bar == std::string_view::npos) return false;
      rest.remove_prefix(bar + 1);
    }
  }

  bool field(const Directive& d, int consumed) {
    switch (d.conv) {
      case 'n':
        if (d.store) {
          if (int* dest = va_arg(*args_, int*)) *dest = consumed;
        }
        return true;
      case 'd': return numeric(d, false, false);
      case 'D': return numeric(d, false, true);
      case 'f': return numeric(d, true, false);
      case 'F': return numeric(d, true, true);
      case 's': {
        Directive t = d;
        if (!t.exact) t.width = std::min(t.width, SCANP_TEXT_MAX);
        return run_of(t, [](char c) { return !is_ws(c) && c != '\0'; });
      }
      case 'S': return run_of(d, [](char c) { return c != '\0'; });
      case 'A': return run_of(d, [](char c) { return is_alpha(c); });
      case 'N': return run_of(d, [](char c) { return is_digit(c); });
      case 'w': return run_of(d, [](char c) { return is_ws(c); });
      case 'W': return run_of(d, [](char c) { return c == ' ' || c == '\t' || c == '\r'; });
      case '[': return run_of(d, [&d](char c) { return c != '\0' && in_class(d.set, c); });
      case '(': return alternatives(d);
      case 'c': {
        const int n = d.width == kUnlimited ? 1 : d.width;
        if (avail() < n) return false;
        store_text(d, s_, n, false);
        return take(n);
      }
      default:
        MESS_print(MESS_WARN, "scanp: Unknown conversion: %c\n", d.conv);
        return false;
    }
  }

  ScanpRec* r_;
  va_list* args_;
  const char* s_ = nullptr;
  const char* end_ = nullptr;
};

}  // namespace

void scanp_set(ScanpRec* record, char* text) {
  if (record == nullptr) return;
  static char empty[1] = {'\0'};
  record->text = text != nullptr ? text : empty;
  record->length = static_cast<int>(std::strlen(record->text));
  record->offset = 0;
  record->used = 0;
  record->assigned = 0;
  record->matched = 0;
}

int scanp(ScanpRec* record, const char* format, ...) {
  if (record == nullptr || record->text == nullptr) return -1;
  record->used = 0;
  record->assigned = 0;
  record->matched = 0;
  if (format == nullptr || *format == '\0' || record->offset < 0 || record->offset >= record->length) return -1;
  va_list args;
  va_start(args, format);
  Scanner scanner(record, &args);
  const int n = scanner.run(format);
  va_end(args);
  return n;
}

void scanp_inc(ScanpRec* record) {
  if (record != nullptr) scanp_inc_off(record, record->used);
}

void scanp_off(ScanpRec* record, int offset) {
  if (record != nullptr) record->offset = std::clamp(offset, 0, record->length);
}

void scanp_inc_off(ScanpRec* record, int n) {
  if (record != nullptr) scanp_off(record, record->offset + n);
}

int scanp_get_off(const ScanpRec* record) { return record != nullptr ? record->offset : 0; }

const char* scanp_str(const ScanpRec* record) {
  if (record == nullptr || record->text == nullptr || record->offset >= record->length) return "";
  return record->text + record->offset;
}

char scanp_char(const ScanpRec* record, int i) {
  if (record == nullptr || record->text == nullptr) return '\0';
  const long p = static_cast<long>(record->offset) + i;
  return p >= 0 && p < record->length ? record->text[p] : '\0';
}

int scanp_replace(ScanpRec* record, int i, char c) {
  if (record == nullptr || record->text == nullptr) return 0;
  const long p = static_cast<long>(record->offset) + i;
  if (p < 0 || p >= record->length) return 0;
  record->text[p] = c;
  if (c == '\0') record->length = static_cast<int>(p);
  return 1;
}

int scanp_search(ScanpRec* record, const char* text) {
  if (record == nullptr || text == nullptr || *text == '\0') return 0;
  const char* found = std::strstr(scanp_str(record), text);
  if (found == nullptr) return 0;
  record->offset = static_cast<int>(found - record->text);
  return 1;
}

void scanp_print(const ScanpRec* record) {
  if (record == nullptr) return;
  MESS_print(MESS_PRINT, "scanp:%s:%d:%d:%d:%d\n", scanp_str(record), record->length, record->offset,
             record->used, record->matched);
}
