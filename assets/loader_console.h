// Whether the loaders write their console lines: the viewer's progress and error lines, which a program
// whose standard output carries its own data (a picture, a model) must not mix into it.
#pragma once

// On by default, as the viewer has them. Off: loadModel and loadBitmap write no lines at all and report
// only through their results. Set before loading; not for changing while another thread loads.
void showLoaderLines(bool shown);
bool loaderLinesShown();
