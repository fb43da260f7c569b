// Frames of the window devices: one off-screen picture per data time, shown one after
// another as an animation loop; and the hold loop that keeps an interactive window up
// until the user releases it, with its periodic refresh.
//
// Frame numbers: 0-127, and -1 the last frame, -2 the current one, -3 the window's own
// backing pixmap. Every frame function does nothing (and returns 0) without a display
// and a drawing pixmap.
#pragma once

constexpr int GKS_MAX_FRAMES = 128;
constexpr int GKS_FRAME_LAST = -1;
constexpr int GKS_FRAME_CURRENT = -2;
constexpr int GKS_FRAME_BASE = -3;

// n below 0: the next free slot. Clears the frame; returns its number.
int gcreate_frame(int n);
// Draws into frame n from now on (-3: into nothing); recording is switched off.
int gselect_frame(int n);
// Shows frame n (below 0: the current one) and makes it current.
int gdisplay_frame(int n);
int gcopy_frame(int to, int from);
int gclear_frame(int n);
int gdelete_frame(int n);
void gdelete_all_frames();
// Back to the state after start-up: no frames, the loop's settings and the refresh
// callback forgotten.
void GLOOP_reset_state();
// Exchanges the pictures of two frames (or of a frame and the backing pixmap).
int gswitch_frame(int a, int b);
// Forgets every frame without a request to the display (the connection is gone).
void gforget_frames();
int gget_num_images();
int gget_cur_frame();
// The pixmap holding a frame selector's picture (0: none).
unsigned long gget_frame_drawable(int n);
int gget_frame_id(int n);
void gset_frame_id(int n, int id);
float gget_frame_delay(int n);
// n: a frame, -1 the last, -2 the current, -4 every frame but the last.
void gset_loop_delay(int n, float seconds);
void ginc_loop_delay(float step);
float gget_loop_delay();
void gset_looping(int on);
int gget_looping();
// 1 on, 0 off, anything else toggles.
void gtoggle_loop(int mode);
// Odd: forward, even: backward; below 2 the loop wraps round, from 2 on it swings back.
void gset_loop_direct(int direction);
int gget_loop_direct();
// The next frame to show: step 0 follows the direction; -1 without frames.
int ginc_frame(int step);
// Waits until the current frame has been shown for its dwell time.
void gloop_sleep();
// Frame numbers in the window title while looping (on by default).
void gset_loop_title(int on);
int gget_loop_title();
// Back to no frames, not looping, the default delay and direction.
void ginit_loop();

// Shows a frame through the zoom when the view is zoomed (the zoom module registers it):
// returns 1 when it showed the frame.
using GksZoomDisplay = int (*)(int frame);
void gloop_set_zoom_display(GksZoomDisplay function);

// ---- hold ----

// Input modes: 0 not holding, 1 holding and waiting for the first key, 2 holding after
// a key, 3 released.
void gset_input_mode(int on);
// True while the hold is not released.
int gget_input_mode();
// The mode itself, 0-3, and setting it (the event module notes the first key with 2).
int gget_input_state();
void gset_input_state(int mode);
// Ends the hold (the user's release action).
void grelease_hold();
// Called every `seconds` while the window holds a plot.
using GksRefreshFunc = void (*)();
void gset_refresh_callback(int seconds, GksRefreshFunc function);
GksRefreshFunc gget_refresh_callback(int* seconds);
// Holds the plot on the window until the user releases it, looping the frames.
void ghold();
