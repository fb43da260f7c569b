// Frames of the window device for animation, and looping.
#pragma once

// n below 0: the next free slot. Returns the frame number.
int gcreate_frame(int n);
int gselect_frame(int n);
// n below 0: the current frame.
int gdisplay_frame(int n);
int gcopy_frame(int to, int from);
int gclear_frame(int n);
void gdelete_all_frames();
int gget_num_images();
int gget_cur_frame();
void gset_looping(int on);
int gget_looping();
// Frame numbers in the window title while looping (on by default).
void gset_loop_title(int on);
int gget_loop_title();
