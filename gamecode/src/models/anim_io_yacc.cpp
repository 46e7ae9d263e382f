#include "anim_io_yacc.h"

#include <cstdio>
#include <cstring>

#include "debug.h"
#include "file_io.h"
#include "heap.h"
#include "model_io.h"
#include "str_util.h"
#include "token.h"

const lex_token_trans anim_io_yacc_keyword_tab[] = {
    {ANIM_IO_YACC_COLLISION_JOINT_TABLE, "collision_joint_table"},
    {ANIM_IO_YACC_SPAZ_MODEL_NAME, "spaz_model_name"},
    {ANIM_IO_YACC_DOUBLE_DOT, ".."},
    {0, ""},
};

namespace {

// The default delimiters without "#", which the files use inside names.
enum { DELIMITER_ROOM = 40 };
const char* delimiters[DELIMITER_ROOM];

const char* const* make_delimiters()
{
    int n = 0;
    for (const char* const* delim = token_default_delim_tab; *delim; ++delim) {
        INVARIANT(n < DELIMITER_ROOM - 1);
        if (std::strcmp(*delim, "#") != 0)
            delimiters[n++] = *delim;
    }
    delimiters[n] = nullptr;
    return delimiters;
}

}  // namespace

const char* const* anim_io_yacc_delim_tab = make_delimiters();

win_ast* yacc_win_ast = nullptr;
win_joint_table* yacc_win_joint_table = nullptr;
mow_model* yacc_spaz_mow_model = nullptr;

namespace {

enum { MODEL_PATH_SIZE = 260 };

// The model directory, and whether one is set.
char model_directory[MODEL_PATH_SIZE];
bool model_directory_set = false;

// What the grammar's record hands to the lexer bridge (which ignores it).
int lexer_token;

int32_t line(void)
{
    return lex_line_cnt;
}

// The text of the token `k` places after the history mark.
const char* token_text(int32_t k)
{
    return lex_history_ring[lex_token_history(k)];
}

// Moves the history mark past the `n` tokens a rule consumed.
void consume(int32_t n)
{
    lex_history_pos = lex_token_history(n);
}

// `text` lower-cased into `lower` (LEX_TOKEN_TEXT_SIZE characters).
void lower_copy(char* lower, const char* text)
{
    std::snprintf(lower, LEX_TOKEN_TEXT_SIZE, "%s", text);
    to_lower_case(lower);
}

// The joint of the held model that `text` (lower-cased) names: a number as
// it stands, "first" or "last", or a joint name; -2 after an error line
// for a name the model does not have. "all" is its caller's business.
int32_t joint_index(const char* text)
{
    int32_t number = 0;
    debug_quiet_begin();  // a name is no number, and no error either
    int is_number = token_to_long(0, text, &number);
    debug_quiet_end();
    if (is_number)
        return number;
    const int32_t joints = yacc_spaz_mow_model->mow_joint_array_size;
    if (std::strcmp(text, "first") == 0)
        return 0;
    if (std::strcmp(text, "last") == 0)
        return joints - 1;
    for (int32_t j = 0; yacc_spaz_mow_model->mow_joint_array && j < joints; ++j) {
        const char* name = yacc_spaz_mow_model->mow_joint_array[j].mow_joint_name;
        if (name && std::strcmp(name, text) == 0)
            return j;
    }
    LOG_ERROR("Joint '%s' not found in model '%s' at %s(%d)\n", text,
              yacc_spaz_mow_model->mow_model_name ? yacc_spaz_mow_model->mow_model_name : "",
              lex_file_name, line());
    return -2;
}

// The open joint table goes, as does the model the pass held.
int release_pass(void)
{
    int ok = 1;
    if (yacc_win_joint_table) {
        ok = free_win_joint_table(yacc_win_joint_table) && ok;
        yacc_win_joint_table = nullptr;
    }
    if (yacc_spaz_mow_model) {
        ok = free_mow_model(yacc_spaz_mow_model) && ok;
        yacc_spaz_mow_model = nullptr;
        ok = model_io_remove_mow_model() && ok;
    }
    return ok;
}

// The actions by action number (anim_io_yacc_tables.h): what each does with
// the tokens of its rule, and how many tokens it consumes.
struct yacc_action {
    int (*run)(void);
    int32_t consumed;
};

int start(void)
{
    lex_parse_ok = 1;
    lex_history_pos = 0;
    return 1;
}

int pass_over(void)
{
    return 1;
}

int spaz_model_name(void)
{
    return anim_io_yacc_spaz_model_name(token_text(1));
}

int table_begin(void)
{
    return anim_io_yacc_win_joint_table_begin(token_text(1));
}

int one_joint(void)
{
    return anim_io_yacc_win_joint_pair(token_text(0), nullptr);
}

int joint_range(void)
{
    return anim_io_yacc_win_joint_pair(token_text(0), token_text(2));
}

const yacc_action yacc_actions[] = {
    {start, 0},      // the file begins
    {pass_over, 1},  // statement : IDENT
    {pass_over, 1},  // statement : NUMBER
    {pass_over, 1},  // statement : '.'
    {pass_over, 1},  // statement : ';'
    {pass_over, 1},  // statement : '-'
    {spaz_model_name, 2},
    {table_begin, 3},                       // collision_joint_table IDENT '{'
    {anim_io_yacc_win_joint_table_end, 2},  // '}' ';'
    {pass_over, 1},                         // ','
    {one_joint, 1},                         // joint_pair : IDENT
    {one_joint, 1},                         // joint_pair : NUMBER
    {joint_range, 3},                       // joint_pair : IDENT DOUBLE_DOT IDENT
    {joint_range, 3},                       // joint_pair : NUMBER DOUBLE_DOT IDENT
    {joint_range, 3},                       // joint_pair : IDENT DOUBLE_DOT NUMBER
    {joint_range, 3},                       // joint_pair : NUMBER DOUBLE_DOT NUMBER
};

// The message of a state table file that cannot be opened for the pass.
void report_open_failure(const char* filename, int found)
{
    if (!found)
        LOG_WARNING("File '%s' not found\n", filename);
    else if (file_hdr_type_found != FILE_TYPE_AST_TEXT)
        LOG_WARNING("'%s' has bad file type %ld, expected %ld\n", filename,
                    (long)file_hdr_type_found, (long)FILE_TYPE_AST_TEXT);
    else if (file_hdr_version_found != FILE_VERSION_AST_TEXT)
        LOG_WARNING("'%s' has bad file version %ld, expected %ld\n", filename,
                    (long)file_hdr_version_found, (long)FILE_VERSION_AST_TEXT);
    else
        LOG_WARNING("Unknown file_open failure for '%s'\n", filename);
}

}  // namespace

void anim_io_yacc_action(yym_parser*, int32_t action)
{
    INVARIANT(action >= 0 && action < (int32_t)(sizeof yacc_actions / sizeof yacc_actions[0]));
    const yacc_action& row = yacc_actions[action];
    int result = row.run();
    lex_parse_ok = lex_parse_ok && result;
    consume(row.consumed);
}

int anim_io_yacc_set_model_directory(const char* directory)
{
    model_directory_set = false;
    if (!directory)
        return 1;
    if (std::strlen(directory) >= sizeof model_directory) {
        LOG_ERROR("Model directory '%s' is too long.\n", directory);
        return 0;
    }
    std::snprintf(model_directory, sizeof model_directory, "%s", directory);
    model_directory_set = true;
    return 1;
}

int anim_io_yacc_spaz_model_name(const char* name)
{
    REFUSE_NULL(name, "anim_io_yacc_spaz_model_name", "spaz_model_name", 0);
    REFUSE_NULL(yacc_win_ast, "anim_io_yacc_spaz_model_name", "yacc_win_ast", 0);
    if (yacc_win_ast->spaz_model_name) {
        LOG_ERROR("spaz_model_name was already defined as '%s' before %s(%d)\n",
                  yacc_win_ast->spaz_model_name, lex_file_name, line());
        return 0;
    }
    if (yacc_spaz_mow_model) {
        LOG_ERROR("spaz_model '%s' already loaded before %s(%d)\n",
                  yacc_spaz_mow_model->mow_model_name ? yacc_spaz_mow_model->mow_model_name : "",
                  lex_file_name, line());
        return 0;
    }
    char* copy = STRDUP(name);
    if (!copy) {
        LOG_ERROR("Could not strdup spaz_model_name '%s' at %s(%d)\n", name, lex_file_name, line());
        return 0;
    }
    to_lower_case(copy);
    yacc_win_ast->spaz_model_name = copy;
    if (!model_directory_set) {
        LOG_ERROR("%s\n", "Cannot anim_io_yacc_spaz_model_name with NULL model_directory.");
        return 0;
    }
    char path[MODEL_PATH_SIZE];
    if (std::snprintf(path, sizeof path, "%s\\%s.%s", model_directory, copy, "mow") >=
        (int)sizeof path) {
        LOG_ERROR("Model path '%s\\%s.%s' is too long at %s(%d)\n", model_directory, copy, "mow",
                  lex_file_name, line());
        return 0;
    }
    to_lower_case(path);
    yacc_spaz_mow_model = model_io_load(path);
    if (!yacc_spaz_mow_model) {
        LOG_ERROR("Could not model_io_load '%s' at %s(%d)\n", path, lex_file_name, line());
        return 0;
    }
    ++yacc_spaz_mow_model->mow_model_ref_cnt;
    return 1;
}

int anim_io_yacc_win_joint_table_begin(const char* name)
{
    REFUSE_NULL(name, "anim_io_yacc_win_joint_table_begin", "win_joint_table_name", 0);
    REFUSE_NULL(yacc_win_ast, "anim_io_yacc_win_joint_table_begin", "yacc_win_ast", 0);
    if (yacc_win_joint_table) {
        LOG_ERROR("win_joint_table already defined before %s(%d)\n", lex_file_name, line());
        return 0;
    }
    yacc_win_joint_table = malloc_win_joint_table(name);
    if (!yacc_win_joint_table) {
        LOG_ERROR("Could not malloc_win_joint_table for '%s' at %s(%d)\n", name, lex_file_name,
                  line());
        return 0;
    }
    // The table keeps its name as written; a repetition is found lower-cased.
    char lower[LEX_TOKEN_TEXT_SIZE];
    lower_copy(lower, name);
    if (dlink_find((dlink*)yacc_win_ast->win_joint_table_list, lower)) {
        LOG_ERROR("win_joint_table '%s' already defined before %s(%d)\n", lower, lex_file_name,
                  line());
        return 0;
    }
    return 1;
}

int anim_io_yacc_win_joint_table_end(void)
{
    REFUSE_NULL(yacc_win_ast, "anim_io_yacc_win_joint_table_end", "yacc_win_ast", 0);
    REFUSE_NULL(yacc_win_joint_table, "anim_io_yacc_win_joint_table_end", "yacc_win_joint_table",
                0);
    if (!yacc_win_joint_table->win_joint_pair_list) {
        LOG_ERROR("No win_joint_pair_list defined at %s(%d)\n", lex_file_name, line());
        return 0;
    }
    int added = add_to_win_joint_table_list(&yacc_win_ast->win_joint_table_list,
                                            &yacc_win_ast->win_joint_table_list_size,
                                            yacc_win_joint_table);
    yacc_win_joint_table = nullptr;
    return added;
}

int anim_io_yacc_win_joint_pair(const char* first_joint_str, const char* last_joint_str)
{
    REFUSE_NULL(first_joint_str, "anim_io_yacc_win_joint_pair", "first_joint_str", 0);
    REFUSE_NULL(yacc_win_joint_table, "anim_io_yacc_win_joint_pair", "yacc_win_joint_table", 0);
    REFUSE_NULL(yacc_spaz_mow_model, "anim_io_yacc_win_joint_pair", "yacc_spaz_mow_model", 0);
    const int32_t joints = yacc_spaz_mow_model->mow_joint_array_size;
    char text[LEX_TOKEN_TEXT_SIZE];
    lower_copy(text, first_joint_str);
    int32_t first, all_last = -1;
    if (std::strcmp(text, "all") == 0) {
        first = 0;
        all_last = joints - 1;
    } else if ((first = joint_index(text)) == -2) {
        return 0;
    }
    if (first < 0 || first >= joints) {
        LOG_ERROR("first_joint_idx = %ld out-of-range (max idx = %ld) at %s(%d)\n", (long)first,
                  (long)(joints - 1), lex_file_name, line());
        return 0;
    }
    int32_t last = all_last >= 0 ? all_last : first;
    if (last_joint_str) {
        lower_copy(text, last_joint_str);
        if (std::strcmp(text, "all") == 0) {
            LOG_ERROR("Illegal last_joint_str = '%s' at %s(%d)\n", text, lex_file_name, line());
            return 0;
        }
        if ((last = joint_index(text)) == -2)
            return 0;
        if (last < 0 || last >= joints) {
            LOG_ERROR("last_joint_idx = %ld out-of-range at %s(%d)\n", (long)last, lex_file_name,
                      line());
            return 0;
        }
    }
    if (last < first) {
        LOG_ERROR("last_joint_idx = %ld is less than first_joint_idx = %ld at %s(%d)\n", (long)last,
                  (long)first, lex_file_name, line());
        return 0;
    }
    win_joint_pair* pair = malloc_win_joint_pair();
    if (!pair) {
        LOG_ERROR("Could not malloc_win_joint_pair at %s(%d)\n", lex_file_name, line());
        return 0;
    }
    pair->first_joint_idx = first;
    pair->last_joint_idx = last;
    return add_to_win_joint_pair_list(&yacc_win_joint_table->win_joint_pair_list,
                                      &yacc_win_joint_table->win_joint_pair_list_size, pair);
}

int anim_io_yacc_reset(void)
{
    yacc_win_joint_table = nullptr;
    return 1;
}

int parse_ast_for_collision_tables(const char* filename, win_ast* win_ast_ptr)
{
    REFUSE_NULL(filename, "parse_ast_for_collision_tables", "filename", 0);
    REFUSE_NULL(win_ast_ptr, "parse_ast_for_collision_tables", "win_ast", 0);
    if (std::strlen(filename) >= sizeof lex_file_name) {
        LOG_ERROR("State table file name '%s' is too long.\n", filename);
        return 0;
    }
    lex_token_trans_tab = anim_io_yacc_keyword_tab;
    lex_ident_token = ANIM_IO_YACC_IDENT;
    lex_number_token = ANIM_IO_YACC_NUMBER;
    lex_define_suppress = 0;
    lex_define_add_level = 0;
    // A joint table left open by a pass that could not finish is released
    // there; none is open here.
    int ok = token_reset() & lex_reset() & anim_io_yacc_reset();
    yacc_win_ast = win_ast_ptr;

    LOG_NOTICE("Parsing AST '%s'\n", filename);
    int found = 0;
    lex_token_file = file_open_search_verify_version_text(
        filename, &lex_line_cnt, nullptr, FILE_TYPE_AST_TEXT, FILE_VERSION_AST_TEXT, &found);
    if (!lex_token_file) {
        report_open_failure(filename, found);
        yacc_win_ast = nullptr;
        return 0;
    }
    const char* const* saved_delimiters = token_delim_tab;
    token_delim_tab = anim_io_yacc_delim_tab;
    std::snprintf(lex_file_name, sizeof lex_file_name, "%s", filename);
    anim_io_yacc_parser.yymlexerptr = &lexer_token;
    // The flag of a failed pass must not turn this one's first token into
    // an error.
    lex_parse_ok = 1;
    int32_t parse_result = yyparse(&anim_io_yacc_parser);

    ok = file_close(lex_token_file) && ok;
    lex_token_file = nullptr;
    token_delim_tab = saved_delimiters;
    if (lex_define_list)
        ok = free_lex_define_list() && ok;
    const bool parsed = parse_result == 0 && lex_parse_ok;
    if (parsed) {
        ok = release_pass() && ok;
        if (!ok)
            LOG_ERROR("%s\n", "Failed to parse_ast_for_collision_tables");
    } else {
        LOG_ERROR("yyparse Failed!  parse_result = %ld at line %d\n", (long)parse_result, line());
        release_pass();
        LOG_ERROR("There was an error loading '%s' near line %d\n", filename, line());
        ok = 0;
    }
    yacc_win_ast = nullptr;
    return ok;
}

void anim_io_yacc_reset_module(void)
{
    release_pass();
    yacc_win_ast = nullptr;
    model_directory_set = false;
    anim_io_yacc_parser.yymdebug = 0;
    anim_io_yacc_parser.yymdebugout = stdout;
    anim_io_yacc_parser.yymerr = nullptr;
}
