// The four pencil-hatching textures, lightest first.
#pragma once

#include <GL/gl.h>

// Creates the four hatching textures into names (index 0 the lightest hatching, 3 the densest) and
// leaves texture 0 bound. Needs a current GL context.
void createHatchTextures(GLuint names[4]);
