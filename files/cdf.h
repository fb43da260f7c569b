// netCDF access: a thin layer over the netCDF C library with one current dataset and a
// current position (rank, start and count per dimension). Ids are netCDF ids; negative
// ids mean "none" and make the getters return their missing value.
#pragma once

#include <cstddef>

constexpr int CDF_MAX_DIMS = 8;

// ---- datasets ----
// mode 0 reads, 1 creates (clobbering), 2 opens an existing dataset for writing (data
// mode, e.g. to add records). Returns the dataset id (also made current) or -1.
// An existing file is handed to the library only when it is a regular file and, in the
// classic formats, when every count and size its header claims fits the file's size:
// damaged headers make the library crash or allocate without bound.
int CDF_open(const char* name, int mode);
// Why the last CDF_open failed: "damaged file: ..." for a header that does not fit its
// file, else the system's or the library's reason; "" after a success.
const char* CDF_open_error();
int CDF_close(int fd);
void CDF_set_fd(int fd);
int CDF_get_fd();
int CDF_end_def();
// 1 (the default): failing library calls are reported as "CDF: <reason>\n" at warning
// level; 0: silent. Name lookups (dimensions, variables, attributes) that find nothing
// return -1 without a message either way.
void CDF_print_errors(int verbose);
// Forgets the current file, the hyperslab and the last open error, and reports errors again.
void CDF_reset_state();

// ---- dimensions and variables ----
// size 0 defines the unlimited dimension. Returns the id or -1.
int CDF_def_dim(const char* name, long size);
int CDF_get_dim(const char* name);  // id or -1
// Size of a dimension; a negative id means the unlimited dimension. -1 on failure.
long CDF_get_dim_size(int dim);
int CDF_get_var(const char* name);  // id or -1
// Type (NC_ type code), rank and dimension ids (up to CDF_MAX_DIMS) of a variable; any
// output may be null. 0, or -1 on failure.
int CDF_inq_var(int var, int* type, int* rank, int* dims);
// Variables over the dimension list dims[0..rank-1]; id or -1.
int CDF_def_var(const char* name, int nc_type, int rank, const int* dims);
int CDF_def_char_var(const char* name, int rank, const int* dims);
int CDF_def_byte_var(const char* name, int rank, const int* dims);
int CDF_def_short_var(const char* name, int rank, const int* dims);
int CDF_def_long_var(const char* name, int rank, const int* dims);
int CDF_def_float_var(const char* name, int rank, const int* dims);
int CDF_def_double_var(const char* name, int rank, const int* dims);

// ---- attributes ----
// Text attributes are stored without a terminating NUL. -1 on failure.
int CDF_put_att_text(int var, const char* name, const char* text);
int CDF_put_att_short(int var, const char* name, short value);
int CDF_put_att_int(int var, const char* name, int value);
int CDF_put_att_float(int var, const char* name, float value);
// count values (at least 1).
int CDF_put_att_double(int var, const char* name, int count, const double* values);
// Global attributes: text into buffer of size (NUL-terminated), -1 when absent.
int CDF_get_glob_att(const char* name, char* buffer, std::size_t size);
int CDF_get_glob_att_int(const char* name, int* value);
int CDF_put_glob_att(const char* name, const char* text);
int CDF_put_glob_att_short(const char* name, short value);
// Attributes of a variable (or -1 for global ones): text NUL-terminated into buffer
// (length returned), or the first value of a numeric attribute (0 returned); -1 when
// absent or of the other kind.
int CDF_get_att_text(int var, const char* name, char* buffer, std::size_t size);
int CDF_get_att_float(int var, const char* name, float* value);
int CDF_get_att_int(int var, const char* name, int* value);
int CDF_put_fill_att(int var, float fill);
int CDF_put_long_fill_att(int var, int fill);
int CDF_put_float_range_att(int var, float min, float max);
int CDF_put_long_range_att(int var, int min, int max);
// name, long_name and units attributes (units skipped when null).
int CDF_put_base_att(int var, const char* name, const char* long_name, const char* units);

// ---- position ----
void CDF_set_pos(int rank, const long* index);
void CDF_set_range(int rank, const long* start, const long* count);
void CDF_set_shape(int rank, const long* start);

// ---- one value at the current position ----
long CDF_get_long(int var);      // -9999 when the id is invalid
float CDF_get_float(int var);    // -9999.0
double CDF_get_double(int var);  // -9999.0
int CDF_get_byte(int var);       // -1
char CDF_get_char(int var);      // ' '
int CDF_put_char(int var, char value);
int CDF_put_byte(int var, signed char value);
int CDF_put_short(int var, short value);
int CDF_put_long(int var, int value);
int CDF_put_float(int var, float value);

// ---- the current range ----
int CDF_get_byte_array(int var, signed char* values);
int CDF_get_float_array(int var, float* values);
int CDF_get_double_array(int var, double* values);
int CDF_put_byte_array(int var, const signed char* values);
int CDF_put_float_array(int var, const float* values);
int CDF_put_double_array(int var, const double* values);
// length characters along the last dimension from the current position's start; the
// text is NUL-terminated in buffer (which must hold length + 1 bytes).
int CDF_get_str(int var, int length, char* buffer);
int CDF_put_str(int var, int length, const char* text);
