// The --screen picture of a known drawing, read back with libpng: the border and transparent
// pixels in the CALL SCREEN colour, a CALL CHAR shape in its set's colours, a CALL COLOR set,
// every screen pixel a 2x2 square.
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Rgb = std::array<int, 3>;
constexpr Rgb BLACK = {0, 0, 0}, WHITE = {255, 255, 255}, DARK_BLUE = {84, 85, 237};
constexpr int WIDTH = 576, HEIGHT = 448, BORDER = 16;

TEST(ScreenImage, AKnownDrawingPixelByPixel) {
  std::string base = testing::TempDir() + "screen_" + std::to_string(getpid());
  std::ofstream(base + ".bas") << "10 CALL CLEAR\n20 CALL SCREEN(5)\n30 CALL COLOR(3,16,2)\n"
                                  "40 CALL CHAR(128,\"FF818181818181FF\")\n"
                                  "50 CALL HCHAR(5,5,128)\n60 CALL HCHAR(7,9,48)\n70 GOTO 70\n";
  std::string command = std::string(TI99RUN_PATH) + " --time-limit 0.5 --screen " + base +
                        ".png " + base + ".bas < /dev/null > /dev/null";
  int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << status;

  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&png, (base + ".png").c_str())) << png.message;
  ASSERT_EQ(png.width, unsigned(WIDTH));
  ASSERT_EQ(png.height, unsigned(HEIGHT));
  png.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(png));
  ASSERT_TRUE(png_image_finish_read(&png, nullptr, rgb.data(), 0, nullptr));
  std::remove((base + ".bas").c_str()), std::remove((base + ".png").c_str());

  auto image = [&](int x, int y) {
    const unsigned char* p = &rgb[(std::size_t(y) * WIDTH + x) * 3];
    return Rgb{p[0], p[1], p[2]};
  };
  // The colour of VDP pixel x, y of the 256x192 screen; fails unless its 2x2 square is even.
  auto at = [&](int x, int y) {
    int left = (BORDER + x) * 2, top = (BORDER + y) * 2;
    for (auto [dx, dy] : {std::pair{1, 0}, {0, 1}, {1, 1}})
      EXPECT_EQ(image(left + dx, top + dy), image(left, top)) << x << "," << y;
    return image(left, top);
  };
  for (auto [x, y] : {std::pair{0, 0}, {WIDTH - 1, 0}, {0, HEIGHT - 1}, {WIDTH - 1, HEIGHT - 1},
                      {WIDTH / 2, 10}})
    EXPECT_EQ(image(x, y), DARK_BLUE) << "border at " << x << "," << y;
  EXPECT_EQ(at(100, 100), DARK_BLUE) << "a blank: transparent on the backdrop";
  // Character 128 at row 5, column 5: its box in black (set 13's foreground), the inside
  // transparent; "0" at row 7, column 9 in set 3, white on black: both colours and no other.
  int white = 0, black = 0;
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      EXPECT_EQ(at(32 + x, 32 + y), x % 7 && y % 7 ? DARK_BLUE : BLACK) << x << "," << y;
      Rgb c = at(64 + x, 48 + y);
      white += c == WHITE, black += c == BLACK;
    }
  }
  EXPECT_GT(white, 8);
  EXPECT_GT(black, 8);
  EXPECT_EQ(white + black, 64);
}

}  // namespace
