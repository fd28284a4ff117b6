// The four pencil-hatching textures, lightest first.
#pragma once

#include <GL/gl.h>

// The hatching images, relative to the working directory; names[i] of createHatchTextures shows
// kHatchImagePaths[i].
extern const char* const kHatchImagePaths[4];

// Loads the four hatching images, makes them textures into names (index 0 the lightest hatching, 3 the
// densest) and releases the images. A texture whose image failed to load is left without an image, so
// faces drawn with it show the current colour. Leaves texture 0 bound. Needs a current GL context.
void createHatchTextures(GLuint names[4]);
