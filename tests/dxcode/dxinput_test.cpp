#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dxinput.h"
#include "test_support.h"

namespace {

TEST(KeyNames, TokensAndCodes)
{
    test_reset_state();
    LogCapture log;
    struct {
        const char* token;
        int32_t code;
    } cases[] = {{"1", 0x02},     {"0", 0x0B},     {"ENTER", 0x1C}, {"-", 0x0C},
                 {"SPACE", 0x39}, {"DOWN", 0xD0}, {"RIGHT WIN", 0xDC}, {"F12", 0x58}};
    for (const auto& c : cases) {
        EXPECT_EQ(dxinput_get_code_from_token(c.token), c.code) << c.token;
        EXPECT_STREQ(dxinput_get_token_string(c.code), c.token);
    }
    // Keypad keys share main-keyboard names: their token reads back as the
    // main key, their own code still has its name.
    EXPECT_STREQ(dxinput_get_display_string(0x9C), "ENTER");
    EXPECT_TRUE(log.errors().empty());

    EXPECT_EQ(dxinput_get_code_from_token("enter"), -1);
    EXPECT_EQ(dxinput_get_display_string(0x54), nullptr);
    EXPECT_EQ(dxinput_get_token_string(-1), nullptr);
    EXPECT_EQ(log.errors(), (std::vector<std::string>{
                                "Could not find directx constant for string enter.",
                                "Could not find display string for code 84.",
                                "Could not find token string for code -1."}));
}

TEST(KeyNames, AnUnknownKeyIsUnboundAndWrittenBackAsItsDefault)
{
    test_reset_state();
    LogCapture log;
    std::string section;
    for (const char* key : {"UP", "LEFT", "RIGHT", "DOWN", "A", "B", "C", "X", "Y", "Z", "L",
                            "NOSUCHKEY", "M", "ENTER"})
        section += std::string(key) + "   //  a key\n";
    FILE* file = file_with_bytes(section);
    int16_t line_cnt = 0;
    EXPECT_EQ(dxinput_read_config(file, &line_cnt), 1);
    fclose(file);
    EXPECT_EQ(dxinput_key_bindings[0], 0xC8);
    EXPECT_EQ(dxinput_key_bindings[11], -1);
    EXPECT_EQ(log.errors().size(), 1u);

    std::string written = written_bytes(dxinput_write_config);
    EXPECT_NE(written.find("R" + std::string(43, ' ') + "//  scroll_inventory_down\n"),
              std::string::npos);
    EXPECT_NE(written.find("UP" + std::string(42, ' ') + "//  down_key\n"), std::string::npos);

    // A section that ends early fails, keeping what it read.
    dxinput_reset();
    file = file_with_bytes("SPACE\n");
    EXPECT_EQ(dxinput_read_config(file, &line_cnt), 0);
    fclose(file);
    EXPECT_EQ(dxinput_key_bindings[0], 0x39);
    EXPECT_EQ(dxinput_key_bindings[1], 0xCB);
}

}  // namespace
