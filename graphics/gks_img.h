// The window's picture as an image record, the image dumps of the plot manager and the
// window keys, reading any image file, and images drawn over the picture (map overlays).
#pragma once
#include <string>
#include <vector>

#include "graphics/img_tool.h"

// Save types of gset_save_image_type.
constexpr int GKS_SAVE_GIF = 56;
constexpr int GKS_SAVE_PNG = 58;

// Reads the current drawing target into image; 0 without a display or drawing target,
// or after a message.
int gget_image(ImgRec* image);

// Capture and write; 1, or 0 after a message.
int GIF_dump(const char* path);
int PNG_dump(const char* path);
int XWD_dump(const char* path);
int IMG_dump(const char* path);
// What IMG_dump writes besides the picture: its information and date label, and whether
// the current map domain (rescaled to the picture) is attached. Set by the plot manager.
void IMG_set_dump_info(const char* info, const char* date_label, int with_domain);
// Capture and write in the save type (GKS_SAVE_GIF, GKS_SAVE_PNG, any other XWD).
int gsave_image_file(const char* path);
void gset_save_image_type(int type);
int gget_save_image_type();

// Reads an image file of any format (GIF, PNG, package format, else XWD). Mode 1 takes
// 32 bits as the display's depth when no window is open. 1, or 0 or -1 after a message.
int IMG_read(const char* path, ImgRec* image, int mode);

// The window pixel of every picture pixel, rows from the top: colours near the
// transparent pixel's colour become that pixel, the others found or allocated.
int gsetup_image_colors(const ImgRec* image, unsigned long transparent, std::vector<unsigned long>* pixels);

// Draws the image file over the picture, the transparent colour left out: a colour-table
// or X11 colour name, the background when empty. x, y >= 0 offset the image from the
// viewport's top-left corner, negative values place it from the right or bottom. An image
// that carries a domain is drawn where it lies on the current map instead. 1, 0 without a
// display, -1 when the file cannot be read.
int goverlay_image_file(const char* path, const char* transparent, int x, int y);
// The file an overlay of path reads: path itself when it exists, else path along the
// resource "image_path".
std::string gfind_image_file(const char* path);
int gread_image_file(const char* path);

// Back to the state of a fresh start: everything the image files (save type, dump records) holds.
void gimg_reset_state();
