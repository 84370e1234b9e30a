#include "net/SocketBuffer.h"

#include <gtest/gtest.h>

#include <string>

using namespace tabulonix;

TEST(SocketBuffer, WritesWhatFitsAndRewindsWhenDrained)
{
    TBuffer block(10);
    EXPECT_EQ(block.Write("abcdefgh", 8), 8);
    EXPECT_EQ(block.Write("ijklmn", 6), 2); // only two bytes were free
    int len = 0;
    const char* p = block.Peek(len);
    EXPECT_EQ(std::string(p, static_cast<size_t>(len)), "abcdefghij");
    block.Remove(4);
    p = block.Peek(len);
    EXPECT_EQ(std::string(p, static_cast<size_t>(len)), "efghij");
    EXPECT_EQ(block.Free(), 0); // consumed bytes are not reused until everything is read
    block.Remove(100);
    EXPECT_EQ(block.ReadCount(), 0);
    EXPECT_EQ(block.WriteCount(), 0);
    EXPECT_EQ(block.Free(), 10);
}

TEST(SocketBuffer, DefaultSizeAndResizeKeepUnreadBytes)
{
    EXPECT_EQ(TBuffer(0).Size(), 1514);
    EXPECT_EQ(TBuffer(-5).Size(), 1514);
    TBuffer block(8);
    block.Write("12345678", 8);
    block.Remove(3);
    block.SetSize(20);
    int len = 0;
    const char* p = block.Peek(len);
    EXPECT_EQ(std::string(p, static_cast<size_t>(len)), "45678");
    EXPECT_EQ(block.Free(), 15);
}
