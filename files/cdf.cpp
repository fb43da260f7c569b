// netCDF access through the library's current C interface. One dataset is current at a
// time and one position (rank, start and count per dimension) serves every read and write.
#include "files/cdf.h"

#include <dlfcn.h>
#include <netcdf.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "config/mess.h"
#include "config/missing.h"

namespace {

// The library is loaded at the first netCDF call rather than at start-up: with the HDF5,
// HTTP and TLS libraries it depends on, loading it takes a run that reads and writes no
// netCDF file about a quarter of its time.
struct NetcdfApi {
  decltype(&::nc_close) nc_close = nullptr;
  decltype(&::nc_create) nc_create = nullptr;
  decltype(&::nc_def_dim) nc_def_dim = nullptr;
  decltype(&::nc_def_var) nc_def_var = nullptr;
  decltype(&::nc_enddef) nc_enddef = nullptr;
  decltype(&::nc_get_att_float) nc_get_att_float = nullptr;
  decltype(&::nc_get_att_int) nc_get_att_int = nullptr;
  decltype(&::nc_get_att_text) nc_get_att_text = nullptr;
  decltype(&::nc_get_var1_double) nc_get_var1_double = nullptr;
  decltype(&::nc_get_var1_float) nc_get_var1_float = nullptr;
  decltype(&::nc_get_var1_long) nc_get_var1_long = nullptr;
  decltype(&::nc_get_var1_schar) nc_get_var1_schar = nullptr;
  decltype(&::nc_get_var1_text) nc_get_var1_text = nullptr;
  decltype(&::nc_get_vara_double) nc_get_vara_double = nullptr;
  decltype(&::nc_get_vara_float) nc_get_vara_float = nullptr;
  decltype(&::nc_get_vara_schar) nc_get_vara_schar = nullptr;
  decltype(&::nc_get_vara_text) nc_get_vara_text = nullptr;
  decltype(&::nc_inq_att) nc_inq_att = nullptr;
  decltype(&::nc_inq_dimid) nc_inq_dimid = nullptr;
  decltype(&::nc_inq_dimlen) nc_inq_dimlen = nullptr;
  decltype(&::nc_inq_unlimdim) nc_inq_unlimdim = nullptr;
  decltype(&::nc_inq_vardimid) nc_inq_vardimid = nullptr;
  decltype(&::nc_inq_varid) nc_inq_varid = nullptr;
  decltype(&::nc_inq_varndims) nc_inq_varndims = nullptr;
  decltype(&::nc_inq_vartype) nc_inq_vartype = nullptr;
  decltype(&::nc_open) nc_open = nullptr;
  decltype(&::nc_put_att_double) nc_put_att_double = nullptr;
  decltype(&::nc_put_att_float) nc_put_att_float = nullptr;
  decltype(&::nc_put_att_int) nc_put_att_int = nullptr;
  decltype(&::nc_put_att_short) nc_put_att_short = nullptr;
  decltype(&::nc_put_att_text) nc_put_att_text = nullptr;
  decltype(&::nc_put_var1_float) nc_put_var1_float = nullptr;
  decltype(&::nc_put_var1_int) nc_put_var1_int = nullptr;
  decltype(&::nc_put_var1_schar) nc_put_var1_schar = nullptr;
  decltype(&::nc_put_var1_short) nc_put_var1_short = nullptr;
  decltype(&::nc_put_var1_text) nc_put_var1_text = nullptr;
  decltype(&::nc_put_vara_double) nc_put_vara_double = nullptr;
  decltype(&::nc_put_vara_float) nc_put_vara_float = nullptr;
  decltype(&::nc_put_vara_schar) nc_put_vara_schar = nullptr;
  decltype(&::nc_put_vara_text) nc_put_vara_text = nullptr;
  decltype(&::nc_strerror) nc_strerror = nullptr;
};

// Calls every member with its symbol name.
template <class Visit>
void each(NetcdfApi& a, Visit v) {
  v("nc_close", a.nc_close);
  v("nc_create", a.nc_create);
  v("nc_def_dim", a.nc_def_dim);
  v("nc_def_var", a.nc_def_var);
  v("nc_enddef", a.nc_enddef);
  v("nc_get_att_float", a.nc_get_att_float);
  v("nc_get_att_int", a.nc_get_att_int);
  v("nc_get_att_text", a.nc_get_att_text);
  v("nc_get_var1_double", a.nc_get_var1_double);
  v("nc_get_var1_float", a.nc_get_var1_float);
  v("nc_get_var1_long", a.nc_get_var1_long);
  v("nc_get_var1_schar", a.nc_get_var1_schar);
  v("nc_get_var1_text", a.nc_get_var1_text);
  v("nc_get_vara_double", a.nc_get_vara_double);
  v("nc_get_vara_float", a.nc_get_vara_float);
  v("nc_get_vara_schar", a.nc_get_vara_schar);
  v("nc_get_vara_text", a.nc_get_vara_text);
  v("nc_inq_att", a.nc_inq_att);
  v("nc_inq_dimid", a.nc_inq_dimid);
  v("nc_inq_dimlen", a.nc_inq_dimlen);
  v("nc_inq_unlimdim", a.nc_inq_unlimdim);
  v("nc_inq_vardimid", a.nc_inq_vardimid);
  v("nc_inq_varid", a.nc_inq_varid);
  v("nc_inq_varndims", a.nc_inq_varndims);
  v("nc_inq_vartype", a.nc_inq_vartype);
  v("nc_open", a.nc_open);
  v("nc_put_att_double", a.nc_put_att_double);
  v("nc_put_att_float", a.nc_put_att_float);
  v("nc_put_att_int", a.nc_put_att_int);
  v("nc_put_att_short", a.nc_put_att_short);
  v("nc_put_att_text", a.nc_put_att_text);
  v("nc_put_var1_float", a.nc_put_var1_float);
  v("nc_put_var1_int", a.nc_put_var1_int);
  v("nc_put_var1_schar", a.nc_put_var1_schar);
  v("nc_put_var1_short", a.nc_put_var1_short);
  v("nc_put_var1_text", a.nc_put_var1_text);
  v("nc_put_vara_double", a.nc_put_vara_double);
  v("nc_put_vara_float", a.nc_put_vara_float);
  v("nc_put_vara_schar", a.nc_put_vara_schar);
  v("nc_put_vara_text", a.nc_put_vara_text);
  v("nc_strerror", a.nc_strerror);
}

// Status of every call when the library cannot be loaded; outside the library's own codes.
constexpr int kNotLoaded = -1000;

template <class R, class... A>
void stub(R (*&f)(A...)) {
  f = [](A...) -> R {
    if constexpr (std::is_same_v<R, const char*>)
      return "netCDF library not loaded";
    else
      return kNotLoaded;
  };
}

NetcdfApi load() {
  NetcdfApi a;
  std::string why;
  // Bound lazily: of the thousands of functions the library and its HDF5, HTTP and TLS
  // libraries call among themselves, a run uses a few; binding them all at once cost a
  // fiftieth of the 50,000-station job.
  if (void* handle = dlopen(STACONT_NETCDF_LIBRARY, RTLD_LAZY | RTLD_GLOBAL); handle != nullptr) {
    each(a, [&](const char* name, auto& f) {
      f = reinterpret_cast<std::remove_reference_t<decltype(f)>>(dlsym(handle, name));
      if (f == nullptr && why.empty()) why = std::string(name) + " is missing from " + STACONT_NETCDF_LIBRARY;
    });
    if (why.empty()) return a;
  } else {
    const char* error = dlerror();
    why = error != nullptr ? error : STACONT_NETCDF_LIBRARY;
  }
  MESS_print(MESS_ERROR, "CDF: Unable to load the netCDF library: %s\n", why.c_str());
  each(a, [](const char*, auto& f) { stub(f); });
  return a;
}

const NetcdfApi& api() {
  static const NetcdfApi a = load();
  return a;
}

}  // namespace

namespace {

// The file being worked on, whether failures are reported, the hyperslab a read or write
// covers and why the last open failed: the whole of what the module remembers.
struct CdfState {
  int cur_fd = -1;
  int print_errors = 1;
  int pos_rank = 0;
  size_t pos_start[CDF_MAX_DIMS] = {};
  size_t pos_count[CDF_MAX_DIMS] = {1, 1, 1, 1, 1, 1, 1, 1};
  std::string open_error;  // why the last CDF_open failed ("" after a success)
};
CdfState st;

// Reports a failing library call when error printing is on; returns 0 for success, -1
// otherwise, so callers can return its result directly.
int check(int status) {
  if (status == NC_NOERR) return 0;
  if (st.print_errors) MESS_print(MESS_WARN, "CDF: %s\n", api().nc_strerror(status));
  return -1;
}

// Lookups by name answer "absent" with -1 without a message: absence is an ordinary answer.
bool absent(int status) {
  return status == NC_ENOTVAR || status == NC_EBADDIM || status == NC_ENOTATT ||
         status == NC_EBADNAME;
}

bool have_fd() { return st.cur_fd >= 0; }
bool have_var(int var) { return st.cur_fd >= 0 && var >= 0; }

int clamp_rank(int rank) { return std::clamp(rank, 0, CDF_MAX_DIMS); }

int def_typed(const char* name, nc_type type, int rank, const int* dims) {
  if (!have_fd() || name == nullptr || rank < 0 || rank > CDF_MAX_DIMS || (rank > 0 && dims == nullptr))
    return -1;
  int id = -1;
  if (check(api().nc_def_var(st.cur_fd, name, type, rank, dims, &id)) != 0) return -1;
  return id;
}

int put_text_att(int var, const char* name, const char* text) {
  if (st.cur_fd < 0 || name == nullptr) return -1;
  if (text == nullptr) text = "";
  return check(api().nc_put_att_text(st.cur_fd, var, name, std::strlen(text), text));
}

// The first value of a numeric attribute, converted by get; -1 when absent or text.
template <class T>
int first_number(int var, const char* name, T* value, int (*get)(int, int, const char*, T*)) {
  if (st.cur_fd < 0 || var < NC_GLOBAL || name == nullptr || value == nullptr) return -1;
  nc_type type = NC_NAT;
  size_t len = 0;
  int status = api().nc_inq_att(st.cur_fd, var, name, &type, &len);
  if (absent(status)) return -1;
  if (check(status) != 0 || type == NC_CHAR || len == 0) return -1;
  std::vector<T> all(len);
  if (check(get(st.cur_fd, var, name, all.data())) != 0) return -1;
  *value = all[0];
  return 0;
}

}  // namespace

// ---- the header check ----

namespace {

// Reads the header of a classic netCDF file (formats 1, 2 and 5) from a stream of known
// size. Every count the header claims is checked against what the rest of the file can
// hold before it is believed, so a damaged header is found in time bounded by the file
// size and without allocating by its claims.
class HeaderCheck {
 public:
  HeaderCheck(std::FILE* fp, unsigned long long size) : fp_(fp), size_(size) {}

  // "" when the header fits the file, else what is wrong.
  std::string run();

 private:
  struct Var {
    unsigned long long begin = 0;
    unsigned long long bytes = 0;  // one record of a record variable, all of a fixed one
    bool record = false;
  };

  unsigned long long left() const { return size_ - pos_; }
  bool fail(const std::string& why) {
    if (why_.empty()) why_ = why;
    return false;
  }
  bool read(unsigned char* out, std::size_t n) {
    if (n > left()) return fail("the file ends inside its header");
    if (std::fread(out, 1, n, fp_) != n) return fail("the file cannot be read");
    pos_ += n;
    return true;
  }
  bool skip(unsigned long long n) {
    if (n > left()) return fail("the file ends inside its header");
    if (std::fseek(fp_, static_cast<long>(pos_ + n), SEEK_SET) != 0) return fail("the file cannot be read");
    pos_ += n;
    return true;
  }
  bool number(unsigned width, unsigned long long* value) {
    unsigned char b[8];
    if (!read(b, width)) return false;
    *value = 0;
    for (unsigned i = 0; i < width; ++i) *value = (*value << 8) | b[i];
    return true;
  }
  // A count of items each taking at least item_bytes: more than the rest of the file can
  // hold means a damaged header.
  bool count(const char* what, unsigned long long* n, unsigned long long item_bytes) {
    if (!number(wide_, n)) return false;
    if (*n > left() / item_bytes)
      return fail("the header claims " + std::to_string(*n) + " " + what + ", more than a file of " +
                  std::to_string(size_) + " bytes can hold");
    return true;
  }
  bool name(const char* what);
  bool list_tag(unsigned want, bool* present);
  bool attributes();
  bool type_size(unsigned long long type, unsigned* bytes) {
    static const unsigned sizes[] = {0, 1, 1, 2, 4, 4, 8, 1, 2, 4, 8, 8};
    const unsigned long long last = version_ == 5 ? 11 : 6;
    if (type < 1 || type > last) return fail("the header names an unknown value type " + std::to_string(type));
    *bytes = sizes[type];
    return true;
  }

  std::FILE* fp_;
  unsigned long long size_;
  unsigned long long pos_ = 0;
  unsigned version_ = 1;
  unsigned wide_ = 4;  // counts and sizes: 8 bytes in format 5
  std::string why_;
};

// A name: its length, then the characters padded to four bytes.
bool HeaderCheck::name(const char* what) {
  unsigned long long n = 0;
  if (!number(wide_, &n)) return false;
  if (n == 0 || n > NC_MAX_NAME)
    return fail(std::string("the header gives a ") + what + " name of " + std::to_string(n) + " characters");
  return skip((n + 3) / 4 * 4);
}

// A list begins with its tag and count; an absent list has zeros in both.
bool HeaderCheck::list_tag(unsigned want, bool* present) {
  unsigned long long tag = 0;
  if (!number(4, &tag)) return false;
  if (tag != 0 && tag != want) return fail("the header has an invalid list tag " + std::to_string(tag));
  *present = tag != 0;
  return true;
}

bool HeaderCheck::attributes() {
  bool present = false;
  if (!list_tag(0x0C, &present)) return false;
  unsigned long long n = 0;
  // The smallest attribute: name length, a 4-byte name, type and count.
  if (!count("attributes", &n, 2 * wide_ + 8)) return false;
  if (!present && n != 0) return fail("the header has an attribute count without a list");
  for (unsigned long long i = 0; i < n; ++i) {
    unsigned long long type = 0, values = 0;
    unsigned bytes = 0;
    if (!name("attribute") || !number(4, &type) || !type_size(type, &bytes)) return false;
    if (!count("attribute values", &values, bytes)) return false;
    if (!skip((values * bytes + 3) / 4 * 4)) return false;
  }
  return true;
}

std::string HeaderCheck::run() {
  unsigned char magic[4];
  if (!read(magic, 4)) return why_;
  version_ = magic[3];
  if (version_ != 1 && version_ != 2 && version_ != 5)
    return "the header gives an unknown format version " + std::to_string(version_);
  wide_ = version_ == 5 ? 8 : 4;
  const unsigned offset_bytes = version_ == 1 ? 4 : 8;
  const unsigned long long streaming = version_ == 5 ? ~0ULL : 0xFFFFFFFFULL;
  unsigned long long records = 0;
  if (!number(wide_, &records)) return why_;

  bool present = false;
  unsigned long long ndims = 0;
  if (!list_tag(0x0A, &present) || !count("dimensions", &ndims, 2 * wide_ + 4)) return why_;
  if (!present && ndims != 0) return "the header has a dimension count without a list";
  std::vector<unsigned long long> lengths;  // 0: the unlimited dimension
  lengths.reserve(ndims);
  int unlimited = 0;
  for (unsigned long long i = 0; i < ndims; ++i) {
    unsigned long long length = 0;
    if (!name("dimension") || !number(wide_, &length)) return why_;
    if (length == 0 && ++unlimited > 1) return "the header has more than one unlimited dimension";
    lengths.push_back(length);
  }
  if (!attributes()) return why_;

  unsigned long long nvars = 0;
  if (!list_tag(0x0B, &present) || !count("variables", &nvars, 4 * wide_ + 12 + offset_bytes)) return why_;
  if (!present && nvars != 0) return "the header has a variable count without a list";
  std::vector<Var> vars;
  vars.reserve(nvars);
  for (unsigned long long i = 0; i < nvars; ++i) {
    Var v;
    unsigned long long rank = 0, type = 0, vsize = 0;
    unsigned bytes = 0;
    if (!name("variable") || !count("dimensions of a variable", &rank, wide_)) return why_;
    if (rank > NC_MAX_VAR_DIMS) return "the header gives a variable " + std::to_string(rank) + " dimensions";
    unsigned long long elements = 1;
    bool overflow = false;
    for (unsigned long long k = 0; k < rank; ++k) {
      unsigned long long id = 0;
      if (!number(wide_, &id)) return why_;
      if (id >= ndims) return "the header refers to dimension " + std::to_string(id) + " of " + std::to_string(ndims);
      if (lengths[id] == 0) {
        if (k != 0) return "the header uses the unlimited dimension other than first";
        v.record = true;
        continue;
      }
      overflow = overflow || __builtin_mul_overflow(elements, lengths[id], &elements);
    }
    if (!attributes() || !number(4, &type) || !type_size(type, &bytes) || !number(wide_, &vsize) ||
        !number(offset_bytes, &v.begin))
      return why_;
    if (overflow || __builtin_mul_overflow(elements, static_cast<unsigned long long>(bytes), &v.bytes) ||
        v.bytes > size_)
      return "the header claims a variable larger than the file of " + std::to_string(size_) + " bytes";
    vars.push_back(v);
  }

  // The data: every fixed variable lies wholly inside the file, and the first byte of the
  // last record it claims, so a header cannot promise more records than the file holds.
  const unsigned long long header_end = pos_;
  unsigned long long record_bytes = 0;
  int record_vars = 0;
  for (const Var& v : vars)
    if (v.record) {
      ++record_vars;
      record_bytes += (v.bytes + 3) / 4 * 4;
    }
  if (record_vars == 1)
    for (const Var& v : vars)
      if (v.record) record_bytes = v.bytes;  // a lone record variable is not padded
  for (const Var& v : vars) {
    if (v.begin < header_end || v.begin > size_)
      return "the header places data at byte " + std::to_string(v.begin) + " of a file of " + std::to_string(size_) +
             " bytes";
    if (!v.record && v.bytes > size_ - v.begin)
      return "the file of " + std::to_string(size_) + " bytes is too short for the data its header describes";
    if (v.record && records != streaming && records > 0 && v.bytes > 0 &&
        (v.begin == size_ || records - 1 > (size_ - v.begin - 1) / std::max(record_bytes, 1ULL)))
      return "the header claims " + std::to_string(records) + " records, more than the file of " +
             std::to_string(size_) + " bytes holds";
  }
  return "";
}

// An existing file to be opened: a regular file, and one whose classic header fits it.
// Files in other forms (netCDF-4) are left to the library.
std::string check_file(const char* name) {
  std::FILE* fp = std::fopen(name, "rb");
  if (fp == nullptr) return std::strerror(errno);
  struct stat st {};
  std::string why;
  unsigned char magic[3] = {};
  if (fstat(fileno(fp), &st) != 0 || !S_ISREG(st.st_mode)) {
    why = "not a regular file";
  } else if (std::fread(magic, 1, 3, fp) == 3 && std::memcmp(magic, "CDF", 3) == 0) {
    std::rewind(fp);
    why = HeaderCheck(fp, static_cast<unsigned long long>(st.st_size)).run();
    if (!why.empty()) why = "damaged file: " + why;
  }
  std::fclose(fp);
  return why;
}

}  // namespace

// ---- datasets ----

int CDF_open(const char* name, int mode) {
  st.open_error.clear();
  if (name == nullptr || *name == '\0') return -1;
  if (mode == 0 || mode == 2) {
    st.open_error = check_file(name);
    if (!st.open_error.empty()) {
      if (st.print_errors) MESS_print(MESS_WARN, "CDF: Unable to open %s: %s\n", name, st.open_error.c_str());
      return -1;
    }
  }
  int id = -1;
  int status;
  if (mode == 1)
    status = api().nc_create(name, NC_CLOBBER, &id);
  else if (mode == 2)
    status = api().nc_open(name, NC_WRITE, &id);
  else if (mode == 0)
    status = api().nc_open(name, NC_NOWRITE, &id);
  else
    return -1;
  if (check(status) != 0) {
    st.open_error = api().nc_strerror(status);
    return -1;
  }
  st.cur_fd = id;
  return id;
}

const char* CDF_open_error() { return st.open_error.c_str(); }

int CDF_close(int fd) {
  if (fd < 0) return -1;
  if (fd == st.cur_fd) st.cur_fd = -1;
  return check(api().nc_close(fd));
}

void CDF_set_fd(int fd) { st.cur_fd = fd; }
int CDF_get_fd() { return st.cur_fd; }
void CDF_reset_state() { st = CdfState{}; }

int CDF_end_def() {
  if (!have_fd()) return -1;
  return check(api().nc_enddef(st.cur_fd));
}

void CDF_print_errors(int verbose) { st.print_errors = verbose ? 1 : 0; }

// ---- dimensions and variables ----

int CDF_def_dim(const char* name, long size) {
  if (!have_fd() || name == nullptr || size < 0) return -1;
  int id = -1;
  if (check(api().nc_def_dim(st.cur_fd, name, size == 0 ? NC_UNLIMITED : static_cast<size_t>(size), &id)) != 0)
    return -1;
  return id;
}

int CDF_get_dim(const char* name) {
  if (!have_fd() || name == nullptr) return -1;
  int id = -1;
  int status = api().nc_inq_dimid(st.cur_fd, name, &id);
  if (absent(status)) return -1;
  return check(status) == 0 ? id : -1;
}

long CDF_get_dim_size(int dim) {
  if (!have_fd()) return -1;
  if (dim < 0) {
    if (check(api().nc_inq_unlimdim(st.cur_fd, &dim)) != 0 || dim < 0) return -1;
  }
  size_t len = 0;
  if (check(api().nc_inq_dimlen(st.cur_fd, dim, &len)) != 0) return -1;
  return static_cast<long>(len);
}

int CDF_get_var(const char* name) {
  if (!have_fd() || name == nullptr) return -1;
  int id = -1;
  int status = api().nc_inq_varid(st.cur_fd, name, &id);
  if (absent(status)) return -1;
  return check(status) == 0 ? id : -1;
}

int CDF_inq_var(int var, int* type, int* rank, int* dims) {
  if (!have_var(var)) return -1;
  nc_type t = NC_NAT;
  int n = 0;
  if (check(api().nc_inq_vartype(st.cur_fd, var, &t)) != 0 || check(api().nc_inq_varndims(st.cur_fd, var, &n)) != 0)
    return -1;
  if (type != nullptr) *type = t;
  if (rank != nullptr) *rank = n;
  if (dims != nullptr) {
    int all[NC_MAX_VAR_DIMS];
    if (check(api().nc_inq_vardimid(st.cur_fd, var, all)) != 0) return -1;
    std::copy(all, all + std::min(n, CDF_MAX_DIMS), dims);
  }
  return 0;
}

int CDF_def_var(const char* name, int nc_type_code, int rank, const int* dims) {
  return def_typed(name, static_cast<nc_type>(nc_type_code), rank, dims);
}
int CDF_def_char_var(const char* name, int rank, const int* dims) { return def_typed(name, NC_CHAR, rank, dims); }
int CDF_def_byte_var(const char* name, int rank, const int* dims) { return def_typed(name, NC_BYTE, rank, dims); }
int CDF_def_short_var(const char* name, int rank, const int* dims) { return def_typed(name, NC_SHORT, rank, dims); }
int CDF_def_long_var(const char* name, int rank, const int* dims) { return def_typed(name, NC_INT, rank, dims); }
int CDF_def_float_var(const char* name, int rank, const int* dims) { return def_typed(name, NC_FLOAT, rank, dims); }
int CDF_def_double_var(const char* name, int rank, const int* dims) { return def_typed(name, NC_DOUBLE, rank, dims); }

// ---- attributes ----

int CDF_put_att_text(int var, const char* name, const char* text) {
  if (var < 0) return -1;
  return put_text_att(var, name, text);
}

int CDF_put_att_short(int var, const char* name, short value) {
  if (!have_var(var) || name == nullptr) return -1;
  return check(api().nc_put_att_short(st.cur_fd, var, name, NC_SHORT, 1, &value));
}

int CDF_put_att_int(int var, const char* name, int value) {
  if (!have_var(var) || name == nullptr) return -1;
  return check(api().nc_put_att_int(st.cur_fd, var, name, NC_INT, 1, &value));
}

int CDF_put_att_float(int var, const char* name, float value) {
  if (!have_var(var) || name == nullptr) return -1;
  return check(api().nc_put_att_float(st.cur_fd, var, name, NC_FLOAT, 1, &value));
}

int CDF_put_att_double(int var, const char* name, int count, const double* values) {
  if (!have_var(var) || name == nullptr || count < 1 || values == nullptr) return -1;
  return check(api().nc_put_att_double(st.cur_fd, var, name, NC_DOUBLE, static_cast<size_t>(count), values));
}

int CDF_get_att_text(int var, const char* name, char* buffer, std::size_t size) {
  if (st.cur_fd < 0 || var < NC_GLOBAL || name == nullptr || buffer == nullptr || size == 0) return -1;
  buffer[0] = '\0';
  nc_type type = NC_NAT;
  size_t len = 0;
  int status = api().nc_inq_att(st.cur_fd, var, name, &type, &len);
  if (absent(status)) return -1;
  if (check(status) != 0 || type != NC_CHAR) return -1;
  std::string text(len, '\0');
  if (len > 0 && check(api().nc_get_att_text(st.cur_fd, var, name, text.data())) != 0) return -1;
  text.resize(std::strlen(text.c_str()));  // writers may have stored a terminating NUL
  size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<int>(n);
}

int CDF_get_att_float(int var, const char* name, float* value) {
  return first_number(var, name, value, api().nc_get_att_float);
}

int CDF_get_att_int(int var, const char* name, int* value) { return first_number(var, name, value, api().nc_get_att_int); }

int CDF_get_glob_att(const char* name, char* buffer, std::size_t size) {
  return CDF_get_att_text(NC_GLOBAL, name, buffer, size);
}

int CDF_get_glob_att_int(const char* name, int* value) {
  return first_number(NC_GLOBAL, name, value, api().nc_get_att_int);
}

int CDF_put_glob_att(const char* name, const char* text) { return put_text_att(NC_GLOBAL, name, text); }

int CDF_put_glob_att_short(const char* name, short value) {
  if (st.cur_fd < 0 || name == nullptr) return -1;
  return check(api().nc_put_att_short(st.cur_fd, NC_GLOBAL, name, NC_SHORT, 1, &value));
}

int CDF_put_fill_att(int var, float fill) {
  if (!have_var(var)) return -1;
  return check(api().nc_put_att_float(st.cur_fd, var, "_FillValue", NC_FLOAT, 1, &fill));
}

int CDF_put_long_fill_att(int var, int fill) {
  if (!have_var(var)) return -1;
  return check(api().nc_put_att_int(st.cur_fd, var, "_FillValue", NC_INT, 1, &fill));
}

int CDF_put_float_range_att(int var, float min, float max) {
  if (!have_var(var)) return -1;
  const float range[2] = {min, max};
  return check(api().nc_put_att_float(st.cur_fd, var, "valid_range", NC_FLOAT, 2, range));
}

int CDF_put_long_range_att(int var, int min, int max) {
  if (!have_var(var)) return -1;
  const int range[2] = {min, max};
  return check(api().nc_put_att_int(st.cur_fd, var, "valid_range", NC_INT, 2, range));
}

int CDF_put_base_att(int var, const char* name, const char* long_name, const char* units) {
  if (!have_var(var)) return -1;
  if (put_text_att(var, "name", name) != 0) return -1;
  if (put_text_att(var, "long_name", long_name) != 0) return -1;
  if (units != nullptr && put_text_att(var, "units", units) != 0) return -1;
  return 0;
}

// ---- position ----

void CDF_set_pos(int rank, const long* index) {
  st.pos_rank = clamp_rank(rank);
  for (int i = 0; i < CDF_MAX_DIMS; ++i) {
    st.pos_start[i] = (i < st.pos_rank && index != nullptr && index[i] > 0) ? static_cast<size_t>(index[i]) : 0;
    st.pos_count[i] = 1;
  }
}

void CDF_set_range(int rank, const long* start, const long* count) {
  st.pos_rank = clamp_rank(rank);
  for (int i = 0; i < CDF_MAX_DIMS; ++i) {
    bool in = i < st.pos_rank;
    st.pos_start[i] = (in && start != nullptr && start[i] > 0) ? static_cast<size_t>(start[i]) : 0;
    st.pos_count[i] = (in && count != nullptr && count[i] >= 0) ? static_cast<size_t>(count[i]) : 1;
  }
}

void CDF_set_shape(int rank, const long* start) {
  st.pos_rank = clamp_rank(rank);
  for (int i = 0; i < st.pos_rank; ++i)
    st.pos_start[i] = (start != nullptr && start[i] > 0) ? static_cast<size_t>(start[i]) : 0;
}

// ---- one value at the current position ----

long CDF_get_long(int var) {
  if (!have_var(var)) return MISSING_INT;
  long value = MISSING_INT;
  if (check(api().nc_get_var1_long(st.cur_fd, var, st.pos_start, &value)) != 0) return MISSING_INT;
  return value;
}

float CDF_get_float(int var) {
  if (!have_var(var)) return MISSING;
  float value = MISSING;
  if (check(api().nc_get_var1_float(st.cur_fd, var, st.pos_start, &value)) != 0) return MISSING;
  return value;
}

double CDF_get_double(int var) {
  if (!have_var(var)) return MISSING;
  double value = MISSING;
  if (check(api().nc_get_var1_double(st.cur_fd, var, st.pos_start, &value)) != 0) return MISSING;
  return value;
}

int CDF_get_byte(int var) {
  if (!have_var(var)) return -1;
  signed char value = 0;
  if (check(api().nc_get_var1_schar(st.cur_fd, var, st.pos_start, &value)) != 0) return -1;
  return value;
}

char CDF_get_char(int var) {
  if (!have_var(var)) return ' ';
  char value = ' ';
  if (check(api().nc_get_var1_text(st.cur_fd, var, st.pos_start, &value)) != 0) return ' ';
  return value;
}

int CDF_put_char(int var, char value) {
  if (!have_var(var)) return -1;
  return check(api().nc_put_var1_text(st.cur_fd, var, st.pos_start, &value));
}

int CDF_put_byte(int var, signed char value) {
  if (!have_var(var)) return -1;
  return check(api().nc_put_var1_schar(st.cur_fd, var, st.pos_start, &value));
}

int CDF_put_short(int var, short value) {
  if (!have_var(var)) return -1;
  return check(api().nc_put_var1_short(st.cur_fd, var, st.pos_start, &value));
}

int CDF_put_long(int var, int value) {
  if (!have_var(var)) return -1;
  return check(api().nc_put_var1_int(st.cur_fd, var, st.pos_start, &value));
}

int CDF_put_float(int var, float value) {
  if (!have_var(var)) return -1;
  return check(api().nc_put_var1_float(st.cur_fd, var, st.pos_start, &value));
}

// ---- the current range ----

int CDF_get_byte_array(int var, signed char* values) {
  if (!have_var(var) || values == nullptr) return -1;
  return check(api().nc_get_vara_schar(st.cur_fd, var, st.pos_start, st.pos_count, values));
}

int CDF_get_float_array(int var, float* values) {
  if (!have_var(var) || values == nullptr) return -1;
  return check(api().nc_get_vara_float(st.cur_fd, var, st.pos_start, st.pos_count, values));
}

int CDF_get_double_array(int var, double* values) {
  if (!have_var(var) || values == nullptr) return -1;
  return check(api().nc_get_vara_double(st.cur_fd, var, st.pos_start, st.pos_count, values));
}

int CDF_put_byte_array(int var, const signed char* values) {
  if (!have_var(var) || values == nullptr) return -1;
  return check(api().nc_put_vara_schar(st.cur_fd, var, st.pos_start, st.pos_count, values));
}

int CDF_put_float_array(int var, const float* values) {
  if (!have_var(var) || values == nullptr) return -1;
  return check(api().nc_put_vara_float(st.cur_fd, var, st.pos_start, st.pos_count, values));
}

int CDF_put_double_array(int var, const double* values) {
  if (!have_var(var) || values == nullptr) return -1;
  return check(api().nc_put_vara_double(st.cur_fd, var, st.pos_start, st.pos_count, values));
}

namespace {

// Start and count for `length` characters along the last dimension of var from the
// current position; the count is cut to what the dimension holds. Returns the rank, -1.
int text_edges(int var, size_t length, size_t* start, size_t* count) {
  int rank = 0;
  int dims[CDF_MAX_DIMS];
  if (CDF_inq_var(var, nullptr, &rank, dims) != 0 || rank < 1 || rank > CDF_MAX_DIMS) return -1;
  size_t dim_len = 0;
  if (check(api().nc_inq_dimlen(st.cur_fd, dims[rank - 1], &dim_len)) != 0) return -1;
  for (int i = 0; i < rank; ++i) {
    start[i] = st.pos_start[i];
    count[i] = 1;
  }
  int unlimited = -1;
  if (check(api().nc_inq_unlimdim(st.cur_fd, &unlimited)) != 0) return -1;
  size_t first = start[rank - 1];
  if (dims[rank - 1] == unlimited)
    count[rank - 1] = length;
  else
    count[rank - 1] = first >= dim_len ? 0 : std::min(length, dim_len - first);
  return rank;
}

}  // namespace

int CDF_get_str(int var, int length, char* buffer) {
  if (buffer == nullptr || length < 0) return -1;
  buffer[0] = '\0';
  if (!have_var(var)) return -1;
  size_t start[CDF_MAX_DIMS];
  size_t count[CDF_MAX_DIMS];
  int rank = text_edges(var, static_cast<size_t>(length), start, count);
  if (rank < 0) return -1;
  size_t n = count[rank - 1];
  if (n > 0 && check(api().nc_get_vara_text(st.cur_fd, var, start, count, buffer)) != 0) {
    buffer[0] = '\0';
    return -1;
  }
  buffer[n] = '\0';
  return static_cast<int>(std::strlen(buffer));
}

int CDF_put_str(int var, int length, const char* text) {
  if (!have_var(var) || text == nullptr || length < 0) return -1;
  // The text goes with its terminating NUL when there is room for it.
  size_t want = std::min(std::strlen(text) + 1, static_cast<size_t>(length));
  size_t start[CDF_MAX_DIMS];
  size_t count[CDF_MAX_DIMS];
  int rank = text_edges(var, want, start, count);
  if (rank < 0) return -1;
  if (count[rank - 1] == 0) return 0;
  return check(api().nc_put_vara_text(st.cur_fd, var, start, count, text));
}
