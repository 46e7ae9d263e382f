// The fixture of the state table file suites: a temporary directory that
// the tests write state table files into, and the log, which the parser
// engine's errors go to as well.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "anim_io_yacc.h"
#include "test_support.h"

class AstFilesTest : public testing::Test {
protected:
    void SetUp() override { test_reset_state(); }
    void TearDown() override { test_reset_state(); }

    // Writes a state table file of `body` after the text header; its path.
    std::string ast(const std::string& body, const std::string& name = "test.ast")
    {
        return dir.write(name, "24 // file_type\n112 // file_version\n" + body);
    }

    TempDir dir;
    LogCapture log;
};
