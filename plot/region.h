// Domain texts, region files and the region prompt (the domain record itself is in
// plot/maptran.h).
#pragma once

#include "plot/maptran.h"

// Longest domain text or region-file line kept (longer lines are cut).
constexpr int DOM_TEXT_LEN = 500;

// Field codes of DOM_set_params templates.
enum DomField {
  DOM_END = 0,
  DOM_PROJ,
  DOM_PLON,
  DOM_CLAT,
  DOM_CLON,
  DOM_NX,
  DOM_NY,
  DOM_DX,
  DOM_DY,
  DOM_ID,
  DOM_REG,
};

// Decodes a domain text: 1 a domain was defined, 2 a region reference was resolved,
// -9999 null/empty/"miss" (or a region file loaded as the menu), -1 invalid after
// "DOM_decode: Invalid plot domain".
int DOM_decode(const char* text, DomainRec* domain);
// Forgets the menu, priorities, region name, registered station lookup and what was said.
void DOM_reset_state();
// Fills domain from count tokens by one template of field codes; 0 on success.
int DOM_set_params(int count, char** tokens, DomainRec* domain, int f1, int f2 = DOM_END,
                   int f3 = DOM_END, int f4 = DOM_END, int f5 = DOM_END, int f6 = DOM_END,
                   int f7 = DOM_END, int f8 = DOM_END);
// Projection name -> code (case-insensitive prefix); -1 unknown, -9999 for "miss".
int DOM_proj_str(const char* name);
// Decodes the first of grid_domain, region, plot_domain that is set; 0 when none is.
int DOM_get_grid_domain(DomainRec* domain);
// plot_domain (modes 1, 3, 4), else region, else (mode 4) the region file's first entry.
int DOM_get_region(DomainRec* domain, int mode);

// The main loop's domain prompt: > 0 a domain was set, -9999 ask again, 0/-1 stop.
// Exits with status 43 for an invalid domain from a resource or in batch mode.
int DOM_prompt_region(DomainRec* domain, int mode);
void DOM_set_prompt_region(int on);
// The text of the domain last chosen at the prompt ("" before).
const char* DOM_get_region_name();

// Station priorities (which stations the readers keep for the domain's scale).
int DOM_set_base_prior(float height);
void DOM_set_prior(int priority);
int DOM_get_prior();
void DOM_set_loc_prior(int priority);
int DOM_get_loc_prior();

// Region files: "abbr description menu_flag domain_text" per line, '#' comments.
// Loads the region menu; returns the number of menu regions (built-in ones when the
// file cannot be read).
int DOM_read_menu(const char* file);
// Domain text of entry name (first entry for null) into result (DOM_TEXT_LEN+1 bytes);
// 1 found, 0 not found or no file.
int DOM_search_file(const char* file, const char* name, char* result);
int DOM_print_file(const char* file);
// Built-in regions us, ne, at, se, mw, sp, nw, sw and var (asks for the centre); 1 found.
int DOM_get_def_region(const char* name, DomainRec* domain);

// "id:STN" and "id:FILE:STN" in a domain text stand for a station's position: the station
// database registers the lookup (file null for the database in use; 1 when found with a
// usable position). Without one no station is found.
using DOM_station_lookup = int (*)(const char* file, const char* id, float* lat, float* lon);
void DOM_set_station_lookup(DOM_station_lookup lookup);
