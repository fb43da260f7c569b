// Pixel-replicating zoom of the window: a part of the picture is shown enlarged by
// repeating each of its pixels factor by factor. The plot itself is not drawn again; the
// unzoomed picture is kept (a frame, or a saved copy without frames) so that zooming
// further and undoing the zoom are exact.
#pragma once

// Zooms frame (-2 the current one; without frames the window's own picture) at pixel
// x, y (of the window as shown; -2 or below keeps the centre) by factor (-1 keeps it,
// 0 or more sets it, another negative -k multiplies it by k); redisplay shows the frame
// at the zoom it has. Returns the factor, 0 when nothing was zoomed.
int gzoom(int frame, int x, int y, int factor, int redisplay);
// Back to the whole picture.
void gunzoom();
// Forgets the zoom (the window changed its size).
void greset_zoom();
// The same, and back to the state before the first call.
void GZOOM_reset_state();
int gget_zoom();
// The centre of the view in pixels of the unzoomed picture.
void gget_zoom_center(int* x, int* y);
// A pixel of the zoomed view as a pixel of the unzoomed picture.
float xZ_p(float p);
float yZ_p(float p);
// Shows frame n at the current zoom; 0 (nothing shown) when the view is not zoomed.
int gzoom_display_frame(int n);
