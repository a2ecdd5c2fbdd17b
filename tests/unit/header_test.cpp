// The public records as clients of every language level see them.
#include <lurn.h>

#include <stddef.h>

#include <gtest/gtest.h>

struct ClientLayout {
  size_t displaySize, inputSize, mouseStateSize;
  size_t flagsOffset, pitchOffset, keyStateOffset, mouseStateOffset;
};
ClientLayout Cxx98ClientLayout();
int Cxx98ZeroedRecordsAreEmpty();

TEST(Header, Cxx98ClientSeesTheSameLayout) {
  ClientLayout old = Cxx98ClientLayout();
  EXPECT_EQ(sizeof(LurnDirectDraw), old.displaySize);
  EXPECT_EQ(sizeof(LurnDirectInput), old.inputSize);
  EXPECT_EQ(offsetof(LurnDirectDraw, flags), old.flagsOffset);
  EXPECT_EQ(offsetof(LurnDirectDraw, pitchPixels), old.pitchOffset);
  EXPECT_EQ(offsetof(LurnDirectInput, keyState), old.keyStateOffset);
  EXPECT_EQ(offsetof(LurnDirectInput, mouseState), old.mouseStateOffset);
  EXPECT_EQ(1, Cxx98ZeroedRecordsAreEmpty());
}

TEST(Header, MouseStateHasTheDirectInputLayout) {
  EXPECT_EQ(16u, sizeof(LurnMouseState));
  EXPECT_EQ(4u, sizeof(LurnLong));
  EXPECT_EQ(0u, offsetof(LurnMouseState, lX));
  EXPECT_EQ(4u, offsetof(LurnMouseState, lY));
  EXPECT_EQ(8u, offsetof(LurnMouseState, lZ));
  EXPECT_EQ(12u, offsetof(LurnMouseState, rgbButtons));
}

TEST(Header, OptionBitsHaveTheirValues) {
  EXPECT_EQ(0x01, LurnDirectDraw::ReleaseSecondary);
  EXPECT_EQ(0x02, LurnDirectDraw::FullScreen);
  EXPECT_EQ(0x04, LurnDirectDraw::AuxSurface);
  EXPECT_EQ(0x08, LurnDirectDraw::NoClear);
}

TEST(Header, RecordsStayPlain) {
  EXPECT_TRUE(std::is_trivial<LurnDirectDraw>::value);
  EXPECT_TRUE(std::is_standard_layout<LurnDirectDraw>::value);
  EXPECT_TRUE(std::is_trivial<LurnDirectInput>::value);
  EXPECT_TRUE(std::is_standard_layout<LurnDirectInput>::value);
}
