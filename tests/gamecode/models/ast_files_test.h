// The fixture of the state table file suites: a temporary directory that
// the tests write state table files into, the log, and the parser engine's
// error text kept off the terminal.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "anim_io_yacc.h"
#include "test_support.h"

class AstFilesTest : public testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        anim_io_yacc_parser.yymerr = errors;
    }
    void TearDown() override
    {
        test_reset_state();  // the engine's error stream back to standard error
        std::fclose(errors);
    }

    // Writes a state table file of `body` after the text header; its path.
    std::string ast(const std::string& body, const std::string& name = "test.ast")
    {
        return dir.write(name, "24 // file_type\n112 // file_version\n" + body);
    }

    TempDir dir;
    LogCapture log;
    FILE* errors = std::tmpfile();
};
