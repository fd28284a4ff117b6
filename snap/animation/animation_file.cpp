// Encoding the frames: libwebp's animation encoder, or giflib with a palette a frame from libimagequant.
#include "animation_file.h"

#include <gif_lib.h>
#include <libimagequant.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include <cmath>
#include <cstdint>
#include <new>
#include <string_view>
#include <vector>

#include "output_file.h"

namespace {

// Lossless at a low effort: the frames are flat tones and strokes, which small effort packs nearly as well,
// and a turntable has many of them.
constexpr int kWebPLosslessLevel = 2;
// Pixels less opaque than this are a GIF's transparent colour.
constexpr unsigned kGifOpaqueFrom = 128;

// The frame's pixels as RGBA, top row first: opaque where it has no alpha. Empty when memory runs out.
std::vector<uint8_t> rgbaOf(const RgbImage& frame) {
  const size_t pixels = static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height);
  std::vector<uint8_t> rgba;
  try {
    rgba.resize(4 * pixels);
  } catch (const std::bad_alloc&) {
    return {};
  }
  for (size_t i = 0; i < pixels; ++i) {
    rgba[4 * i] = frame.rgb[3 * i];
    rgba[4 * i + 1] = frame.rgb[3 * i + 1];
    rgba[4 * i + 2] = frame.rgb[3 * i + 2];
    rgba[4 * i + 3] = frame.alpha.empty() ? 255 : frame.alpha[i];
  }
  return rgba;
}

}  // namespace

// What both formats do: encode frames of one size one by one, then finish the file.
class AnimationFile::Encoder {
 public:
  Encoder(int width, int height, double framesPerSecond)
      : width_(width), height_(height), framesPerSecond_(framesPerSecond) {}
  virtual ~Encoder() = default;
  // Each returns false and fills why (one line) on failure.
  virtual bool add(const RgbImage& frame, std::string& why) = 0;
  virtual bool finish(std::string& why) = 0;

  OutputFile file;

 protected:
  const int width_, height_;
  const double framesPerSecond_;
  int frames_ = 0;
};

namespace {

class WebPEncoder : public AnimationFile::Encoder {
 public:
  WebPEncoder(int width, int height, double framesPerSecond) : Encoder(width, height, framesPerSecond) {
    WebPAnimEncoderOptions options;
    WebPAnimEncoderOptionsInit(&options);
    options.anim_params.loop_count = 0;  // for ever
    encoder_ = WebPAnimEncoderNew(width, height, &options);
    WebPConfigInit(&config_);
    WebPConfigLosslessPreset(&config_, kWebPLosslessLevel);
  }
  ~WebPEncoder() override { WebPAnimEncoderDelete(encoder_); }

  bool add(const RgbImage& frame, std::string& why) override {
    if (!encoder_) {
      why = "no memory for the WebP encoder";
      return false;
    }
    const std::vector<uint8_t> rgba = rgbaOf(frame);
    WebPPicture picture;
    WebPPictureInit(&picture);
    picture.use_argb = 1;
    picture.width = width_;
    picture.height = height_;
    const bool added = !rgba.empty() && WebPPictureImportRGBA(&picture, rgba.data(), 4 * width_) &&
                       WebPAnimEncoderAdd(encoder_, &picture, timestamp(frames_), &config_);
    WebPPictureFree(&picture);
    if (!added) {
      why = rgba.empty() ? "no memory for a frame" : WebPAnimEncoderGetError(encoder_);
      return false;
    }
    ++frames_;
    return true;
  }

  bool finish(std::string& why) override {
    WebPData data;
    WebPDataInit(&data);
    // The last frame's end is the animation's length.
    const bool assembled = encoder_ && WebPAnimEncoderAdd(encoder_, nullptr, timestamp(frames_), nullptr) &&
                           WebPAnimEncoderAssemble(encoder_, &data);
    if (!assembled) {
      why = encoder_ ? WebPAnimEncoderGetError(encoder_) : "no memory for the WebP encoder";
    }
    const bool written = assembled && file.write({reinterpret_cast<const char*>(data.bytes), data.size});
    WebPDataClear(&data);
    return written;
  }

 private:
  int timestamp(int frame) const { return static_cast<int>(std::lround(frame * 1000.0 / framesPerSecond_)); }

  WebPAnimEncoder* encoder_ = nullptr;
  WebPConfig config_;
};

// libimagequant's objects, each freed with its own function.
struct LiqFree {
  void operator()(liq_attr* attr) const { liq_attr_destroy(attr); }
  void operator()(liq_image* image) const { liq_image_destroy(image); }
  void operator()(liq_result* result) const { liq_result_destroy(result); }
};

// A frame in a palette of at most 256 colours: an index a pixel, and the colours.
struct PalettedFrame {
  std::vector<GifByteType> indices;
  std::vector<GifColorType> colours;  // a power of two of them, as a GIF's colour table needs
  int transparent = NO_TRANSPARENT_COLOR;
};

// Quantizes rgba (width x height) into frame. False when libimagequant fails or memory runs out.
bool quantize(std::vector<uint8_t>& rgba, int width, int height, PalettedFrame& frame) {
  const std::unique_ptr<liq_attr, LiqFree> attr(liq_attr_create());
  const std::unique_ptr<liq_image, LiqFree> image(
      attr ? liq_image_create_rgba(attr.get(), rgba.data(), width, height, 0) : nullptr);
  liq_result* quantized = nullptr;
  if (!image || liq_image_quantize(image.get(), attr.get(), &quantized) != LIQ_OK) {
    return false;
  }
  const std::unique_ptr<liq_result, LiqFree> result(quantized);
  liq_set_dithering_level(result.get(), 1.0f);
  frame.indices.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
  if (liq_write_remapped_image(result.get(), image.get(), frame.indices.data(), frame.indices.size()) !=
      LIQ_OK) {
    return false;
  }
  const liq_palette* palette = liq_get_palette(result.get());
  size_t tableSize = 2;
  while (tableSize < palette->count) {
    tableSize *= 2;
  }
  frame.colours.assign(tableSize, GifColorType{0, 0, 0});
  std::vector<bool> clear(palette->count);
  for (unsigned i = 0; i < palette->count; ++i) {
    const liq_color& c = palette->entries[i];
    frame.colours[i] = {c.r, c.g, c.b};
    clear[i] = c.a < kGifOpaqueFrom;
    if (clear[i] && frame.transparent == NO_TRANSPARENT_COLOR) {
      frame.transparent = static_cast<int>(i);
    }
  }
  // A GIF has one transparent colour: every entry too clear to show becomes it.
  for (GifByteType& index : frame.indices) {
    index = clear[index] ? static_cast<GifByteType>(frame.transparent) : index;
  }
  return true;
}

class GifEncoder : public AnimationFile::Encoder {
 public:
  GifEncoder(int width, int height, double framesPerSecond) : Encoder(width, height, framesPerSecond) {}
  ~GifEncoder() override {
    int error = 0;
    EGifCloseFile(gif_, &error);
  }

  // Writes the header: the screen and the loop for ever; nothing is written to the file before.
  bool start(std::string& why) {
    int error = 0;
    gif_ = EGifOpen(&file, write, &error);
    if (!gif_) {
      why = GifErrorString(error);
      return false;
    }
    EGifSetGifVersion(gif_, true);
    // The application extension browsers read as the loop count; 0 is for ever.
    static const GifByteType kLoop[] = {1, 0, 0};
    const bool written = EGifPutScreenDesc(gif_, width_, height_, 8, 0, nullptr) == GIF_OK &&
                         EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
                         EGifPutExtensionBlock(gif_, 11, "NETSCAPE2.0") == GIF_OK &&
                         EGifPutExtensionBlock(gif_, 3, kLoop) == GIF_OK &&
                         EGifPutExtensionTrailer(gif_) == GIF_OK;
    return written || failed(why);
  }

  bool add(const RgbImage& frame, std::string& why) override {
    std::vector<uint8_t> rgba = rgbaOf(frame);
    PalettedFrame paletted;
    if (rgba.empty() || !quantize(rgba, width_, height_, paletted)) {
      why = "no palette for a frame (libimagequant failed or memory ran out)";
      return false;
    }
    rgba = {};
    // A transparent frame is cleared before the next; an opaque one covers all of the last.
    GraphicsControlBlock control{
        paletted.transparent == NO_TRANSPARENT_COLOR ? DISPOSE_DO_NOT : DISPOSE_BACKGROUND, false,
        delayOf(frames_), paletted.transparent};
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);
    ColorMapObject* map =
        GifMakeMapObject(static_cast<int>(paletted.colours.size()), paletted.colours.data());
    const bool written = map && EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK &&
                         EGifPutImageDesc(gif_, 0, 0, width_, height_, false, map) == GIF_OK &&
                         EGifPutLine(gif_, paletted.indices.data(), width_ * height_) == GIF_OK;
    GifFreeMapObject(map);
    ++frames_;
    return written || failed(why);
  }

  bool finish(std::string& why) override {
    int error = 0;
    const int closed = EGifCloseFile(gif_, &error);
    gif_ = nullptr;
    if (closed != GIF_OK) {
      why = file.error().empty() ? GifErrorString(error) : file.error();
      return false;
    }
    return true;
  }

 private:
  // giflib's output function: the bytes go to the output file, all or nothing.
  static int write(GifFileType* gif, const GifByteType* bytes, int count) {
    auto* file = static_cast<OutputFile*>(gif->UserData);
    return file->write({reinterpret_cast<const char*>(bytes), static_cast<size_t>(count)}) ? count : 0;
  }

  // A GIF's frame times are whole hundredths of a second: each frame ends as near its time as they allow.
  int delayOf(int frame) const {
    const auto end = [this](int f) { return std::lround(f * 100.0 / framesPerSecond_); };
    return static_cast<int>(end(frame + 1) - end(frame));
  }

  bool failed(std::string& why) const {
    why = file.error().empty() ? GifErrorString(gif_->Error) : file.error();
    return false;
  }

  GifFileType* gif_ = nullptr;
};

}  // namespace

AnimationFile::AnimationFile() = default;
AnimationFile::~AnimationFile() = default;

bool AnimationFile::open(const std::string& path, AnimationFormat format, int width, int height,
                         double framesPerSecond) {
  if (format == AnimationFormat::WebP) {
    encoder_ = std::make_unique<WebPEncoder>(width, height, framesPerSecond);
  } else {
    encoder_ = std::make_unique<GifEncoder>(width, height, framesPerSecond);
  }
  if (!encoder_->file.open(path)) {
    error_ = encoder_->file.error();
    return false;
  }
  return format == AnimationFormat::WebP || static_cast<GifEncoder&>(*encoder_).start(error_);
}

bool AnimationFile::addFrame(const RgbImage& frame) {
  return error_.empty() && encoder_ && encoder_->add(frame, error_);
}

bool AnimationFile::commit() {
  if (!error_.empty() || !encoder_ || !encoder_->finish(error_)) {
    return false;
  }
  if (!encoder_->file.commit()) {
    error_ = encoder_->file.error();
    return false;
  }
  return true;
}
