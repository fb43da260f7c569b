// Station table of the current plot: the stations of the database that lie in the
// plot domain and pass the user's selection, keyed by identifier, WMO number and
// location, each with an optional per-station data block.
#pragma once
#include <cstdint>

#include "config/table.h"
#include "plot/region.h"
#include "surface/cty_read.h"

// A stored station, as the plot code sees it.
struct StationRec {
  char id[12];         // key identifier (see CTY_set_id_type)
  std::int32_t wmo;    // WMO number, 99999 when none
  float x;             // map position in the plot domain's plane
  float y;
  float elev;          // metres, -9999 when missing
  std::int32_t prior;  // plot priority
  void* data;          // per-station data block, null when none
};

// A stored station in full form (storage mode 1).
struct CityEntry {
  CityRec rec;
  void* data;
};

// Storage modes of CTY_store.
constexpr int CTY_MODE_FULL = 1;      // full records; keys identifier and WMO
constexpr int CTY_MODE_COMPACT = 2;   // StationRec; keys identifier and WMO
constexpr int CTY_MODE_LOCATION = 3;  // StationRec; keys identifier, WMO and location

// Loads the stations of file (null: the default) that lie in domain (null: the
// current map domain) and have a priority of at most max_prior (-9999: the
// resource "stat_prior", default 10) and pass the resource "identifier". Replaces
// the previous table. Returns the handle the file was read through (now closed),
// or -1 when the file cannot be opened.
int CTY_store(const char* file, int mode, const DomainRec* domain, int max_prior);
// Maximum station priority from the resource "stat_prior" (leading number), else 10.
int CTY_get_prior();

// Index of the first selection item that accepts the station, or -1; 0 when the
// selection is empty. Items: a 5-digit WMO number, a call sign, a name prefix of 5
// or more characters, or ':'-separated conditions (Name=, ST=, CN=, ID=, RA<lat/lon/km,
// P=<>, Lat=<>, Lon=<>, Elev=<>, WMO=<>); "<" and ">" include equality.
int CTY_data_cmp(const CityRec* rec, int count, char** items);

// Finds a report's station: 5 digits search the WMO key, a pseudo identifier
// (letter, any, three digits) is converted to its WMO number, "b" and five digits
// is a buoy; anything else searches the identifier key. 1 and *station filled, or 0.
int CTY_search(const char* id, StationRec* station);
// 1 when id names a station of the database that was last loaded, stored or not (outside
// the domain, of a lower priority, not selected), else 0.
int CTY_known(const char* id);
// Nearest station to a point within 4.9 degrees on the location key (mode 3). 1 or 0.
int CTY_search_loc(StationRec* station, float lat, float lon);
// The same among the stations whose data block holds a text (the values of a station
// plot): the station the value query names.
int CTY_search_loc_data(StationRec* station, float lat, float lon);

// Size of the data block given to each station entered from now on (0: none).
void CTY_data_size(int size);
// Called for each station entered, with its fresh (zeroed) data block.
using CtyEnterFunc = void (*)(void* data, const CityRec* rec);
void CTY_enter_func(CtyEnterFunc func);
// Data block of the station id (as CTY_search), or of the last station found when
// id is null; null when none.
void* CTY_get_data(const char* id);
// Data blocks of the stored stations in insertion order, from the first when
// restart is 0; null after the last.
void* CTY_next_data(int restart);
// keep 0: frees the data blocks; keep 1: clears their contents.
void CTY_clear_data(int keep);
// Empties the station table (and frees the data blocks).
void CTY_clear();
// Forgets the loaded database (the registered enter function stays).
void CTY_reset_state();
Table* CTY_get_table();
// Number of stored stations.
int CTY_count();

// Identifier type of stored stations: 0 call sign (WMO number when none), 1 WMO
// number (call sign when none), 2 call sign (pseudo identifier from the WMO number
// when none). Takes effect at the next CTY_store.
void CTY_set_id_type(int type);
int CTY_get_id_type();
