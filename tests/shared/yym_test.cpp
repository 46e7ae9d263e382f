// The parser engine on the test grammar tests/shared/yym/sum_grammar.y:
// lines of sums such as "1 + (2 - 3);", with an error rule that skips a bad
// line up to its ";".
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "file_io.h"
#include "lexparse.h"
#include "test_support.h"
#include "token.h"
#include "yym/sum_grammar_tables.h"
#include "yym/sum_grammar_values.h"

namespace {

class Parser;
Parser* current = nullptr;

std::string stream_text(FILE* file)
{
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, n);
    return text;
}

class Parser : public ::testing::Test {
protected:
    void SetUp() override
    {
        test_reset_state();
        errors_ = std::tmpfile();
        trace_ = std::tmpfile();
        ASSERT_TRUE(errors_ && trace_);
        yy_ = yym_parser_initial(&sum_grammar_tables, sum_grammar_action, states_, attributes_,
                                 YYM_STATIC_STACK_SIZE, sizeof(int32_t), &value_,
                                 &lookahead_value_);
        yy_.yymerr = errors_;
        yy_.yymdebugout = trace_;
        yy_.yymgettoken = next_token;
        yy_.yymdiscard = discard;
        current = this;
    }

    void TearDown() override
    {
        // Grown stacks stay with the record; a test record gives them back.
        yy_.yymtop = -1;
        yymsssiz(&yy_, YYM_STATIC_STACK_SIZE);
        std::fclose(errors_);
        std::fclose(trace_);
        current = nullptr;
        test_reset_state();
    }

    // The tokens of `input`: a number is NUMBER with its value, a letter
    // IDENT, "@" the lexer's error token, "<n>" token n, any other character
    // its own code.
    int32_t parse(const std::string& input)
    {
        tokens_.clear();
        for (size_t i = 0; i < input.size();) {
            char c = input[i];
            if (c == ' ') {
                ++i;
            } else if (std::isdigit((unsigned char)c)) {
                size_t end = input.find_first_not_of("0123456789", i);
                end = end == std::string::npos ? input.size() : end;
                tokens_.push_back({SUM_GRAMMAR_NUMBER, std::stoi(input.substr(i, end - i))});
                i = end;
            } else if (c == '<') {
                size_t end = input.find('>', i);
                tokens_.push_back({std::stoi(input.substr(i + 1, end - i - 1)), 0});
                i = end + 1;
            } else {
                int32_t token = std::isalpha((unsigned char)c) ? SUM_GRAMMAR_IDENT
                                : c == '@'                     ? YYM_ERROR_TOKEN
                                                               : (int32_t)c;
                tokens_.push_back({token, 0});
                ++i;
            }
        }
        next_ = 0;
        reads_ = 0;
        return yyparse(&yy_);
    }

    static int32_t next_token(yym_parser* yy)
    {
        Parser* p = current;
        ++p->reads_;
        if (p->next_ >= p->tokens_.size())
            return 0;
        const auto& token = p->tokens_[p->next_++];
        *(int32_t*)yy->yymlvalptr = token.second;
        return token.first;
    }

    static void discard(yym_parser*, int32_t token) { current->discarded_.push_back(token); }

    std::string trace_line(const std::string& text) const
    {
        char prefix[64];
        std::snprintf(prefix, sizeof prefix, "%p: ", (const void*)&yy_);
        return prefix + text + "\n";
    }

public:
    // What the actions did, in order.
    std::vector<std::string> events_;
    int reads_ = 0;  // tokens read in this parse
    // Requests made by the action of a line with this value.
    int32_t abort_on_ = -1, accept_on_ = -1, error_on_ = -1, error_pops_ = 0;
    bool error_on_begin_ = false;  // the first action requests an error, in recovery

protected:
    yym_parser yy_;
    int16_t states_[YYM_STATIC_STACK_SIZE];
    int32_t attributes_[YYM_STATIC_STACK_SIZE];
    int32_t value_ = 0, lookahead_value_ = 0;
    FILE* errors_ = nullptr;
    FILE* trace_ = nullptr;
    std::vector<std::pair<int32_t, int32_t>> tokens_;  // token, value
    size_t next_ = 0;
    std::vector<int32_t> discarded_;
};

using Events = std::vector<std::string>;

}  // namespace

// The test grammar's actions (numbered in sum_grammar_tables.h).
void sum_grammar_action(yym_parser* yy, int32_t action)
{
    Parser* p = current;
    int32_t* result = (int32_t*)yy->yymvalptr;
    switch (action) {
    case 0:
        p->events_.push_back("begin after " + std::to_string(p->reads_) + " reads");
        if (p->error_on_begin_) {
            // Once, as if error recovery were still on (no three tokens
            // shifted since the error token).
            p->error_on_begin_ = false;
            yymsskip(yy, 3);
            yy->yymerrorflg = 1;
            yy->yymerrorpop = 0;
        }
        break;
    case 1:
        p->events_.push_back("line " + std::to_string(*result));
        if (*result == p->abort_on_) {
            yy->yymexitflg = 1;
            yy->yymexitval = 42;
        } else if (*result == p->accept_on_) {
            yy->yymacceptflg = 1;
            yy->yymacceptval = 3;
        } else if (*result == p->error_on_) {
            yy->yymerrorflg = 1;
            yy->yymerrorpop = p->error_pops_;
        }
        break;
    case 2:
        p->events_.push_back("skipped");
        break;
    case 3:
    case 4:
    case 5:
        sum_grammar_value_action(yy, action);
        break;
    case 6:
        p->events_.push_back("drop number " + std::to_string(*result));
        break;
    case 7:
        p->events_.push_back("drop sum " + std::to_string(*result));
        break;
    default:
        ADD_FAILURE() << "action " << action;
    }
}

namespace {

TEST_F(Parser, AcceptsAndCarriesValues)
{
    EXPECT_EQ(parse("1 + (2 - 3); 40 - 2;"), 0);
    // The first reduction needs no lookahead, so it runs before any read.
    EXPECT_EQ(events_, (Events{"begin after 0 reads", "line 0", "line 38"}));
    EXPECT_EQ(yy_.yymerrorcount, 0);
    EXPECT_EQ(stream_text(errors_), "");
    EXPECT_EQ(stream_text(trace_), "");
}

TEST_F(Parser, SyntaxErrorRecoversThroughTheErrorRule)
{
    yy_.yymdebug = 1;
    EXPECT_EQ(parse("1 + + 2; 5;"), 0);
    // The sum is popped (its destructor runs) down to the state that shifts
    // the error token; tokens that fail right after it are discarded.
    EXPECT_EQ(events_, (Events{"begin after 0 reads", "drop sum 1", "skipped", "line 5"}));
    EXPECT_EQ(discarded_, (std::vector<int32_t>{'+', SUM_GRAMMAR_NUMBER}));
    EXPECT_EQ(yy_.yymerrorcount, 1);
    EXPECT_EQ(stream_text(errors_), "syntax error\n");
    // Recovery is entered once, and left once three tokens are shifted.
    std::string trace = stream_text(trace_);
    for (const char* line : {"entering error recovery", "leaving error recovery"}) {
        size_t first = trace.find(trace_line(line));
        EXPECT_NE(first, std::string::npos) << line;
        EXPECT_EQ(trace.find(trace_line(line), first + 1), std::string::npos) << line;
    }
}

TEST_F(Parser, ErrorsDuringRecoveryAreNotReportedAgain)
{
    EXPECT_EQ(parse("1 + ; ) ; 2;"), 0);
    EXPECT_EQ(events_,
              (Events{"begin after 0 reads", "drop sum 1", "skipped", "skipped", "line 2"}));
    EXPECT_EQ(discarded_, (std::vector<int32_t>{')'}));
    EXPECT_EQ(yy_.yymerrorcount, 1);
    EXPECT_EQ(stream_text(errors_), "syntax error\n");
}

TEST_F(Parser, DestructorsRunOnEveryPoppedState)
{
    EXPECT_EQ(parse("(1 + (2 - ; 3;"), 0);
    EXPECT_EQ(events_,
              (Events{"begin after 0 reads", "drop sum 2", "drop sum 1", "skipped", "line 3"}));
}

TEST_F(Parser, EndOfInputWhileDiscardingEndsTheParse)
{
    yy_.yymdebug = 1;
    EXPECT_EQ(parse("1 +"), 1);
    EXPECT_EQ(events_, (Events{"begin after 0 reads", "drop sum 1"}));
    EXPECT_EQ(yy_.yymtop, -1);
    EXPECT_EQ(yy_.yymerrorcount, 1);
    std::string trace = stream_text(trace_);
    for (const char* line :
         {"syntax error", "entering error recovery", "shift token error (256)", "abort"})
        EXPECT_NE(trace.find(trace_line(line)), std::string::npos) << line;
}

TEST_F(Parser, ActionRequestsErrorRecovery)
{
    // The error counts but is not reported; the line's symbols are popped.
    error_on_ = 13;
    EXPECT_EQ(parse("13; 2; 4;"), 0);
    EXPECT_EQ(events_,
              (Events{"begin after 0 reads", "line 13", "drop sum 13", "skipped", "line 4"}));
    EXPECT_EQ(discarded_, (std::vector<int32_t>{SUM_GRAMMAR_NUMBER}));
    EXPECT_EQ(yy_.yymerrorcount, 1);
    EXPECT_EQ(stream_text(errors_), "");

    // Passing over the one state that shifts the error token empties the
    // stack: the parse ends with 1.
    events_.clear();
    error_pops_ = 1;
    yy_.yymdebug = 1;
    EXPECT_EQ(parse("13; 2;"), 1);
    EXPECT_EQ(events_, (Events{"begin after 0 reads", "line 13", "drop sum 13"}));
    EXPECT_EQ(yy_.yymtop, -1);
    EXPECT_TRUE(stream_text(trace_).ends_with(trace_line("abort")));
    yy_.yymdebug = 0;

    // From an action that runs before any token is read, in recovery: a
    // token is read to be discarded, so that the round uses one up.
    events_.clear();
    discarded_.clear();
    error_on_begin_ = true;
    EXPECT_EQ(parse("1 2; 3;"), 0);
    EXPECT_EQ(events_, (Events{"begin after 0 reads", "begin after 1 reads", "line 2", "line 3"}));
    EXPECT_EQ(discarded_, (std::vector<int32_t>{SUM_GRAMMAR_NUMBER}));
    EXPECT_EQ(yy_.yymerrorcount, 1);
    EXPECT_EQ(stream_text(errors_), "");
}

TEST_F(Parser, ActionRequestsAbortOrAccept)
{
    abort_on_ = 7;
    EXPECT_EQ(parse("1; 7; 9;"), 42);
    EXPECT_EQ(events_, (Events{"begin after 0 reads", "line 1", "line 7"}));
    events_.clear();
    accept_on_ = 5;
    EXPECT_EQ(parse("5; 6;"), 3);
    EXPECT_EQ(events_, (Events{"begin after 0 reads", "line 5"}));
}

TEST_F(Parser, TheEnginesOwnDiscardTakesAnyTokenAboveTheEnd)
{
    // Token 1 is a character like any other; only the end (0) cannot go.
    yy_.yymdiscard = yymdisc;
    EXPECT_EQ(parse("5 <1> ; 6;"), 0);
    EXPECT_EQ(events_, (Events{"begin after 0 reads", "drop sum 5", "skipped", "line 6"}));
}

TEST_F(Parser, LexicalErrorTokenIsShiftedLikeAnyToken)
{
    EXPECT_EQ(parse("5; @ ; 6;"), 0);
    EXPECT_EQ(events_, (Events{"begin after 0 reads", "line 5", "skipped", "line 6"}));
    EXPECT_EQ(yy_.yymerrorcount, 0);
    EXPECT_EQ(stream_text(errors_), "");
}

std::string nested_sum(int levels)
{
    std::string text;
    for (int i = 1; i < levels; ++i)
        text += std::to_string(i) + " + (";
    return text + std::to_string(levels) + std::string(levels - 1, ')') + ";";
}

TEST_F(Parser, StacksGrowPastTheirInitialSize)
{
    // 40 levels put about 120 states on the stack.
    EXPECT_EQ(parse(nested_sum(40)), 0);
    EXPECT_EQ(events_, (Events{"begin after 0 reads", "line 820"}));
    EXPECT_EQ(yy_.yymstack_size, 200);
    EXPECT_NE(yy_.yymstackptr, yy_.yymsstackptr);

    // Resizing keeps what is on the stack; it never cuts into it.
    ASSERT_EQ(yy_.yymtop, 2);
    EXPECT_EQ(yymsssiz(&yy_, 200), 1);
    EXPECT_EQ(yymsssiz(&yy_, 2), 0);
    EXPECT_EQ(yymsssiz(&yy_, 3), 1);
    EXPECT_EQ(yy_.yymstackptr, yy_.yymsstackptr);
    EXPECT_EQ((std::vector<int16_t>(states_, states_ + 3)), (std::vector<int16_t>{0, 1, 3}));
}

TEST_F(Parser, StacksThatCannotBeHadLeaveTheOldOnes)
{
    // The values of a million states at 2 GB each: more than any address
    // space holds, while their states alone would fit.
    yy_.yymattribute_size = INT32_MAX;
    EXPECT_EQ(yymsssiz(&yy_, 1 << 20), 0);
    EXPECT_EQ(yy_.yymstack_size, YYM_STATIC_STACK_SIZE);
    EXPECT_EQ(yy_.yymstackptr, yy_.yymsstackptr);
    EXPECT_EQ(yy_.yymattributestackptr, yy_.yymsattributestackptr);
    yy_.yymattribute_size = sizeof(int32_t);
}

TEST_F(Parser, StackOverflowWhenGrowthIsNotAllowed)
{
    yy_.yymstackgrow = 0;
    yy_.yymdebug = 1;
    EXPECT_EQ(parse(nested_sum(40)), 1);
    EXPECT_EQ(yy_.yymtop, -1);
    EXPECT_EQ(yy_.yymstack_size, YYM_STATIC_STACK_SIZE);
    EXPECT_EQ(stream_text(errors_), "yacc stack overflow\n");
    std::string trace = stream_text(trace_);
    EXPECT_NE(trace.find(trace_line("stack overflow") + trace_line("abort")), std::string::npos);
}

TEST_F(Parser, TraceLines)
{
    yy_.yymdebug = 1;
    EXPECT_EQ(parse("5;"), 0);
    std::string expected;
    for (const char* line : {
             "push state 0",
             "reduce rule $$1 : (1)",
             "push state 2 covering state 0",
             "reduce rule lines : (3)",
             "push state 4 covering state 2",
             "get token NUMBER (258)",
             "shift token NUMBER (258)",
             "push state 6 covering state 4",
             "reduce rule term : NUMBER (10)",
             "pop 1 state(s) uncovering state 4",
             "push state 10 covering state 4",
             "reduce rule sum : term (9)",
             "pop 1 state(s) uncovering state 4",
             "push state 9 covering state 4",
             "get token ';' (59)",
             "shift token ';' (59)",
             "push state 13 covering state 9",
             "reduce rule line : sum ';' (5)",
             "pop 2 state(s) uncovering state 4",
             "push state 8 covering state 4",
             "reduce rule lines : lines line (4)",
             "pop 2 state(s) uncovering state 2",
             "push state 4 covering state 2",
             "get token $end (0)",
             "reduce rule input : $$1 lines (2)",
             "pop 2 state(s) uncovering state 0",
             "push state 1 covering state 0",
             "shift token $end (0)",
             "push state 3 covering state 1",
         })
        expected += trace_line(line);
    EXPECT_EQ(stream_text(trace_), expected);
}

TEST_F(Parser, TraceNamesUnknownTokensAndTheModuleSwitchTurnsItOn)
{
    yymdebug_all = 1;
    EXPECT_EQ(parse("5 <300> ; 6;"), 0);
    std::string trace = stream_text(trace_);
    EXPECT_NE(trace.find(trace_line("get token illegal-token (300)")), std::string::npos);
    EXPECT_NE(trace.find(trace_line("discard token illegal-token (300)")), std::string::npos);
    EXPECT_NE(trace.find(trace_line("leaving error recovery")), std::string::npos);
}

// Parses `content` with the grammar's own record through the lexer bridge,
// as a grammar's reader does.
int32_t parse_file(const std::string& content, FILE* errors)
{
    static const lex_token_trans keywords[] = {{260, "unused"}, {0, ""}};
    TempDir dir;
    std::string path = dir.write("sums.txt", content);
    lex_token_trans_tab = keywords;
    token_reset();
    lex_reset();
    lex_token_file = file_open(path.c_str(), FILE_MODE_READ_TEXT);
    if (!lex_token_file)
        return -1;
    std::snprintf(lex_file_name, sizeof lex_file_name, "%s", path.c_str());
    yym_parser* yy = &sum_grammar_parser;
    int lexer = 0;
    yy->yymlexerptr = &lexer;
    yy->yymerr = errors;
    int32_t result = yyparse(yy);
    yy->yymlexerptr = nullptr;
    yy->yymerr = nullptr;
    file_close(lex_token_file);
    lex_token_file = nullptr;
    return result;
}

TEST_F(Parser, ReadsTokensThroughTheLexerBridge)
{
    EXPECT_EQ(parse_file("1 + (2 - 3);\n/* 7; */ 4;\noops;\n5;\n", errors_), 0);
    EXPECT_EQ(sum_grammar_parser.yymerrorcount, 1);  // at the word "oops"
    EXPECT_EQ(stream_text(errors_), "syntax error\n");
    ASSERT_EQ(events_.size(), 5u);
    EXPECT_EQ(events_[4].substr(0, 5), "line ");
    EXPECT_EQ(events_[3], "skipped");
}

// Without a stream of its own a parser's errors go to the log with the file
// and the line the bridge has reached, never to the terminal.
TEST_F(Parser, WithoutAStreamErrorsGoToTheLogWithTheFileAndLine)
{
    LogCapture log;
    testing::internal::CaptureStderr();
    EXPECT_EQ(parse_file("1 + 2;\n3 +;\n4;\n", nullptr), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    std::vector<std::string> errors = log.errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("Parse error near ", 0), 0u) << errors[0];
    EXPECT_NE(errors[0].find("sums.txt(2): syntax error"), std::string::npos) << errors[0];
}

TEST_F(Parser, AFileEndingInsideACommentEndsTheParse)
{
    // The bridge used to return the error token on every call, never the end
    // of the input, so error recovery discarded it forever.
    LogCapture log;
    EXPECT_EQ(parse_file("1;\n2 /* open\n3;\n", errors_), 1);
    EXPECT_EQ(events_, (Events{"begin after 0 reads", "line 0", "drop sum 0"}));
    EXPECT_EQ(log.errors().size(), 1u);
}

TEST_F(Parser, AParserWithoutStaticStacksGetsThemOnItsFirstPush)
{
    yym_parser saved = yy_;
    yy_ = yym_parser_initial(&sum_grammar_tables, sum_grammar_action, nullptr, nullptr, 0,
                             sizeof(int32_t), &value_, &lookahead_value_);
    yy_.yymerr = errors_;
    yy_.yymgettoken = next_token;
    EXPECT_EQ(parse("1 + 2;"), 0);
    EXPECT_EQ(events_, (Events{"begin after 0 reads", "line 3"}));
    EXPECT_EQ(yy_.yymstack_size, YYM_STATIC_STACK_SIZE);
    yy_.yymtop = -1;
    EXPECT_EQ(yymsssiz(&yy_, 0), 1);  // the grown stacks go back

    // Without static stacks and growth the first state has nowhere to go.
    yy_.yymstackgrow = 0;
    yy_.yymdebug = 1;
    yy_.yymdebugout = trace_;
    EXPECT_EQ(parse("1;"), 1);
    EXPECT_EQ(stream_text(errors_), "yacc stack overflow\n");
    EXPECT_TRUE(stream_text(trace_).ends_with(trace_line("stack overflow") + trace_line("abort")));
    yy_ = saved;
}

TEST(ParserDeathTest, BrokenInvariantStopsTheProcess)
{
    int16_t states[1];
    int32_t attributes[1], value, lookahead;
    // A record made as it must be: its stack is empty.
    yym_parser yy = yym_parser_initial(&sum_grammar_tables, sum_grammar_action, states, attributes,
                                       1, sizeof(int32_t), &value, &lookahead);
    auto initial = [&](const yym_tables* tables, yym_action_funct action, int32_t stack_size,
                       int32_t attribute_size) {
        yym_parser_initial(tables, action, states, attributes, stack_size, attribute_size, &value,
                           &lookahead);
    };
    const struct {
        std::function<void()> call;
        const char* message;
    } cases[] = {
        {[] { yyparse(nullptr); }, "parser record present"},
        {[] { yympush(nullptr, 0); }, "parser record present"},
        {[&] { initial(nullptr, sum_grammar_action, 1, 4); }, "grammar tables and action"},
        {[&] { initial(&sum_grammar_tables, nullptr, 1, 4); }, "grammar tables and action"},
        {[&] { initial(&sum_grammar_tables, sum_grammar_action, -1, 4); }, "stack and value sizes"},
        {[&] { initial(&sum_grammar_tables, sum_grammar_action, 1, 0); }, "stack and value sizes"},
        {[&] { yympop(&yy, 1); }, "pop count within the stack"},
        {[&] { yympop(&yy, -1); }, "pop count within the stack"},
        {[&] { yymdepop(&yy, 1); }, "pop count within the stack"},
        {[&] { yymwork(&yy); }, "a state on the stack"},
    };
    for (const auto& c : cases)
        EXPECT_DEATH(c.call(), std::string("broken invariant: ") + c.message);
}

// Runs a command, true when it succeeds.
bool run(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

bool bison_installed()
{
    return run("command -v bison >/dev/null 2>&1");
}

// Every grammar of the project, its committed tables beside it.
TEST(ParserTables, CommittedTablesMatchTheirGrammars)
{
    if (!bison_installed())
        GTEST_SKIP() << "bison is not installed";
    std::vector<std::filesystem::path> grammars;
    for (const char* folder : {"shared", "convert", "dxcode", "script", "gamecode", "tests"}) {
        std::filesystem::path root = std::filesystem::path(VARNOCK_SOURCE_DIR) / folder;
        if (!std::filesystem::is_directory(root))
            continue;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
            if (entry.is_regular_file() && entry.path().extension() == ".y")
                grammars.push_back(entry.path());
    }
    std::sort(grammars.begin(), grammars.end());
    // The engine's test grammar and the state table files' grammar at least.
    std::vector<std::string> names;
    for (const std::filesystem::path& grammar : grammars)
        names.push_back(grammar.filename().string());
    for (const char* expected : {"sum_grammar.y", "anim_io_yacc.y"})
        EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected;

    for (const std::filesystem::path& grammar : grammars) {
        TempDir dir;
        ASSERT_TRUE(run("bison --xml=" + dir.file("automaton.xml") + " -o " + dir.file("parser.c") +
                        " " + grammar.string()));
        ASSERT_TRUE(run(std::string(YYTABLES_PROGRAM) + " " + grammar.string() + " " +
                        dir.file("automaton.xml") + " " + dir.path()));
        std::string name = grammar.stem().string();
        for (const std::string& file : {name + "_tables.h", name + "_tables.cpp"}) {
            std::string committed = read_host_file((grammar.parent_path() / file).string());
            EXPECT_FALSE(committed.empty()) << file;
            EXPECT_EQ(dir.read(file), committed)
                << file << " is out of date: run tools/yytables/generate.sh " << grammar;
        }
    }
}

TEST(ParserTables, GrammarFileMatchesTheAutomatonRuleForRule)
{
    if (!bison_installed())
        GTEST_SKIP() << "bison is not installed";
    // Mid-rule actions become rules of their own before their host rule;
    // "%prec", named references and braces inside the code do not disturb
    // the count.
    TempDir dir;
    std::string grammar = dir.write("mixed.y", "%{\n#include <x> /* } */\n%}\n"
                                               "%token A 257 B 258\n%left '+'\n"
                                               "%destructor { free($$); /* } */ } e\n"
                                               "%%\n"
                                               "s : e[first] { a(\"}\"); } ';' { b('}'); }\n"
                                               "  | s e { c(); } { d(); }\n"
                                               "  | s '!' t\n"
                                               "  ;\n"
                                               "e : A | e '+' e %prec '+' { e(); } | B // }\n"
                                               "t : %empty { f(); }\n"
                                               "%%\nint main() { return 0; }\n");
    ASSERT_TRUE(run("bison -Wnone --xml=" + dir.file("automaton.xml") + " -o " +
                    dir.file("parser.c") + " " + grammar));
    ASSERT_TRUE(run(std::string(YYTABLES_PROGRAM) + " " + grammar + " " +
                    dir.file("automaton.xml") + " " + dir.path()));
    std::string header = dir.read("mixed_tables.h");
    for (const char* line :
         {"//   0  rule 1: $$1 :\n", "//   1  rule 2: s : e $$1 ';'\n", "//   2  rule 3: $$2 :\n",
          "//   3  rule 4: s : s e $$2\n", "//   4  rule 7: e : e '+' e\n", "//   5  rule 9: t :\n",
          "//   6  destructor of e\n"})
        EXPECT_NE(header.find(line), std::string::npos) << line;

    // A grammar file that does not belong to the automaton is refused.
    std::string other = dir.write("other/mixed.y", "%token A 257\n%%\ns : A { x(); } A ;\n");
    EXPECT_FALSE(run(std::string(YYTABLES_PROGRAM) + " " + other + " " + dir.file("automaton.xml") +
                     " " + dir.file("other") + " 2>/dev/null"));
}

}  // namespace
