// The four pencil-hatching textures, lightest first: the viewer's, and mipmapped ones for hatching that
// stays on a model's surface.
#pragma once

#include <GL/gl.h>

#include <string>

// The hatching images, relative to the working directory; names[i] of createHatchTextures shows
// kHatchImagePaths[i].
extern const char* const kHatchImagePaths[4];

// The largest side a hatching image may have: eight times the shipped ones. A larger image is refused
// before its pixels are read, with the bitmap loader's line for a buffer it cannot have.
constexpr unsigned kMaxHatchImageSide = 4096;

// Loads the four hatching images, makes them textures into names (index 0 the lightest hatching, 3 the
// densest) and releases the images. An image with a side above kMaxHatchImageSide or the context's
// GL_MAX_TEXTURE_SIZE is refused before it is read. A texture whose image failed to load is left without an
// image, so faces drawn with it show the current colour. Leaves texture 0 bound. Needs a current GL context.
void createHatchTextures(GLuint names[4]);

// The side of the viewer's hatching images, and how many of their levels are drawn as images of their own:
// level k is kHatchImageSize >> k texels square and read from hatchLevelPath(i, k).
constexpr int kHatchImageSize = 512;
constexpr int kHatchDrawnLevels = 5;

// The image of level of texture index: kHatchImagePaths[index] for level 0, the same name with "-SIZE"
// before ".bmp" for the smaller ones ("data/xhatch1-256.bmp"). index in [0, 4), level in [0,
// kHatchDrawnLevels).
std::string hatchLevelPath(int index, int level);

// Makes the four textures of hatching drawn on the surface into names, each with the full chain of mip
// levels: the drawn levels from their images, each level below them the box-filtered half of the one
// above, and a trilinear minification filter, so the strokes keep their width and spacing in pixels as
// the model nears or recedes. A level whose image is missing or of the wrong size is filtered down from
// the level above instead; without level 0 the texture is left without an image and shows white. Leaves
// texture 0 bound. Needs a current GL context.
void createSurfaceHatchTextures(GLuint names[4]);
