#include "host/screen_file.h"

#include <png.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "automation/screen_text.h"
#include "host/output.h"
#include "machine/vdp_picture.h"

const char* screen_file_path;

namespace {

constexpr unsigned SCALE = 2;
constexpr unsigned IMAGE_WIDTH = PICTURE_WIDTH * SCALE;
constexpr unsigned IMAGE_HEIGHT = PICTURE_HEIGHT * SCALE;

std::uint8_t picture[PICTURE_HEIGHT][PICTURE_WIDTH];
std::uint8_t image[IMAGE_HEIGHT][IMAGE_WIDTH];

bool is_png_name(const char* path) {
  std::size_t length = std::strlen(path);
  return length >= 4 && strcasecmp(path + length - 4, ".png") == 0;
}

void write_text_rows(std::FILE* file) {
  char row[SCREEN_COLUMNS];
  for (unsigned r = 0; r < SCREEN_ROWS; ++r) {
    std::fwrite(row, 1, screen_row_text(r, row), file);
    std::fputc('\n', file);
  }
}

// The picture as an indexed PNG with the VDP's palette; on failure, the reason.
bool write_png(std::FILE* file, const char*& reason) {
  draw_picture(&picture[0][0]);
  for (unsigned y = 0; y < IMAGE_HEIGHT; ++y)
    for (unsigned x = 0; x < IMAGE_WIDTH; ++x) image[y][x] = picture[y / SCALE][x / SCALE];
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = IMAGE_WIDTH;
  png.height = IMAGE_HEIGHT;
  png.format = PNG_FORMAT_RGB_COLORMAP;
  png.colormap_entries = 16;
  if (png_image_write_to_stdio(&png, file, 0, image, IMAGE_WIDTH, VDP_PALETTE)) return true;
  static char message[sizeof png.message];
  std::memcpy(message, png.message, sizeof message);
  reason = message;
  png_image_free(&png);
  return false;
}

// The permissions a newly created file gets from the process's umask.
mode_t new_file_mode() {
  mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// Writes to a temporary name in the same directory, then renames it, so that
// FILE is complete or untouched.
bool write_file(const char* path, const char*& reason) {
  char temporary[PATH_MAX];
  if (std::snprintf(temporary, sizeof temporary, "%s.XXXXXX", path) >= int(sizeof temporary))
    return reason = std::strerror(ENAMETOOLONG), false;
  int fd = mkstemp(temporary);
  if (fd < 0) return reason = std::strerror(errno), false;
  std::FILE* file = fdopen(fd, "wb");
  if (!file) {
    reason = std::strerror(errno);
    close(fd);
    unlink(temporary);
    return false;
  }
  fchmod(fd, new_file_mode());
  bool written = true;
  if (is_png_name(path))
    written = write_png(file, reason);
  else
    write_text_rows(file);
  errno = 0;
  bool closed = std::fflush(file) == 0 && !std::ferror(file);
  if (std::fclose(file) != 0) closed = false;
  if (written && !closed) reason = std::strerror(errno ? errno : EIO), written = false;
  if (written && std::rename(temporary, path) != 0) reason = std::strerror(errno), written = false;
  if (!written) unlink(temporary);
  return written;
}

}  // namespace

bool write_screen_file() {
  if (!screen_file_path) return true;
  if (std::strcmp(screen_file_path, "-") == 0) {
    if (!output_at_line_start()) std::fputc('\n', stdout);
    write_text_rows(stdout);
    return true;  // the final flush of standard output reports a failure
  }
  const char* reason = "";
  if (write_file(screen_file_path, reason)) return true;
  std::fprintf(stderr, "writing screen image %s: %s\n", screen_file_path, reason);
  return false;
}
