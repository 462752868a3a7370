#include "platform/jpeg_file.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

#include "platform/file_system.h"

namespace {

// libjpeg reports a fatal error by calling error_exit, which must not return.
// It jumps back to the setjmp of the one function that drives the library;
// those functions hold only plain C data (no object with a destructor lives
// in their frames), so the jump skips nothing that needed cleaning up.
struct JpegErrorManager {
    jpeg_error_mgr base;
    jmp_buf jump;
};

void OnJpegError(j_common_ptr info)
{
    JpegErrorManager *manager = reinterpret_cast<JpegErrorManager *>(info->err);
    std::longjmp(manager->jump, 1);
}

// Warnings that mean image data was lost: the library would fill the rest of
// the picture with grey and carry on. Such an image is refused instead. Other
// warnings, and trace messages, are dropped silently.
void OnJpegMessage(j_common_ptr info, int level)
{
    if (level >= 0) {
        return;
    }
    switch (info->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
        OnJpegError(info);
        break;
    default:
        break;
    }
}

void SetUpErrors(JpegErrorManager *manager)
{
    jpeg_std_error(&manager->base);
    manager->base.error_exit = OnJpegError;
    manager->base.emit_message = OnJpegMessage;
}

bool SizeAccepted(long width, long height)
{
    return width > 0 && height > 0 && width <= JpegMaxSide && height <= JpegMaxSide;
}

// Decodes into a malloc'd RGB buffer. Returns 1 and the buffer, or 0.
int DecodeToBuffer(const unsigned char *data, unsigned long size, unsigned char **outPixels, int *outWidth,
                   int *outHeight)
{
    jpeg_decompress_struct info;
    JpegErrorManager errors;
    unsigned char *volatile pixels = nullptr;

    SetUpErrors(&errors);
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        std::free(pixels);
        return 0;
    }
    info.err = &errors.base;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, size);
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return 0;
    }
    if (!SizeAccepted(info.image_width, info.image_height)) {
        jpeg_destroy_decompress(&info);
        return 0;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3) {
        jpeg_destroy_decompress(&info);
        return 0;
    }
    const size_t stride = static_cast<size_t>(info.output_width) * 3;
    pixels = static_cast<unsigned char *>(std::malloc(stride * info.output_height));
    if (!pixels) {
        jpeg_destroy_decompress(&info);
        return 0;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    *outWidth = static_cast<int>(info.output_width);
    *outHeight = static_cast<int>(info.output_height);
    *outPixels = pixels;
    jpeg_destroy_decompress(&info);
    return 1;
}

// Encodes into an open file. Returns 1, or 0 when the library failed.
int EncodeToFile(FILE *file, const unsigned char *rgb, int width, int height, int quality)
{
    jpeg_compress_struct info;
    JpegErrorManager errors;

    SetUpErrors(&errors);
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&info);
        return 0;
    }
    info.err = &errors.base;
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    const size_t stride = static_cast<size_t>(width) * 3;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<unsigned char *>(rgb) + stride * info.next_scanline;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return 1;
}

}  // namespace

bool WriteJpegFile(const char *path, const uint8_t *rgb, int width, int height, int quality)
{
    if (!path || !rgb || !SizeAccepted(width, height)) {
        return false;
    }
    quality = quality < 1 ? 1 : (quality > 100 ? 100 : quality);
    FILE *file = PlatformOpenFile(path, "wb");
    if (!file) {
        return false;
    }
    bool written = EncodeToFile(file, rgb, width, height, quality) == 1;
    written = std::ferror(file) == 0 && written;
    written = std::fclose(file) == 0 && written;
    if (!written) {
        PlatformRemoveFile(path);
    }
    return written;
}

bool DecodeJpegImage(const void *data, size_t size, JpegImage *image)
{
    if (!image) {
        return false;
    }
    *image = JpegImage{};
    if (!data || size == 0) {
        return false;
    }
    unsigned char *pixels = nullptr;
    int width = 0;
    int height = 0;
    if (!DecodeToBuffer(static_cast<const unsigned char *>(data), static_cast<unsigned long>(size), &pixels, &width,
                        &height)) {
        return false;
    }
    image->width = width;
    image->height = height;
    image->pixels.assign(pixels, pixels + static_cast<size_t>(width) * height * 3);
    std::free(pixels);
    return true;
}

bool ReadJpegFile(const char *path, JpegImage *image)
{
    if (!image) {
        return false;
    }
    *image = JpegImage{};
    FILE *file = path ? PlatformOpenFile(path, "rb") : nullptr;
    if (!file) {
        return false;
    }
    std::vector<uint8_t> data;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        size = std::ftell(file);
    }
    bool read = size > 0 && std::fseek(file, 0, SEEK_SET) == 0;
    if (read) {
        data.resize(static_cast<size_t>(size));
        read = std::fread(data.data(), 1, data.size(), file) == data.size();
    }
    std::fclose(file);
    return read && DecodeJpegImage(data.data(), data.size(), image);
}
