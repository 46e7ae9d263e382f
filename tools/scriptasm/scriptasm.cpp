#include "scriptasm.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <vector>

#include "file_io.h"
#include "heap.h"
#include "parsestr.h"

namespace {

// ---- Tokens ----

enum token_kind { TOKEN_WORD, TOKEN_NUMBER, TOKEN_STRING, TOKEN_PUNCT, TOKEN_DIRECTIVE, TOKEN_END };

struct token {
    token_kind kind;
    std::string text;
};

// The tokens of one line; false with `error` set on a bad string.
bool tokenize(const std::string& line, std::vector<token>* tokens, std::string* error)
{
    size_t i = 0;
    while (i < line.size()) {
        unsigned char c = (unsigned char)line[i];
        if (std::isspace(c)) {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            std::string text;
            for (++i; i < line.size() && line[i] != '"'; ++i) {
                if (line[i] == '\\' && i + 1 < line.size()) {
                    char escaped = line[++i];
                    text += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
                } else {
                    text += line[i];
                }
            }
            if (i == line.size()) {
                *error = "the string has no closing quote";
                return false;
            }
            ++i;
            tokens->push_back({TOKEN_STRING, text});
        } else if (std::isdigit(c) || (c == '.' && std::isdigit((unsigned char)line[i + 1]))) {
            size_t start = i;
            while (i < line.size() && (std::isalnum((unsigned char)line[i]) || line[i] == '.' ||
                                       ((line[i] == '-' || line[i] == '+') &&
                                        (line[i - 1] == 'e' || line[i - 1] == 'E'))))
                ++i;
            tokens->push_back({TOKEN_NUMBER, line.substr(start, i - start)});
        } else if (std::isalpha(c) || c == '_' || c == '.') {
            size_t start = i++;
            while (i < line.size() && (std::isalnum((unsigned char)line[i]) || line[i] == '_'))
                ++i;
            tokens->push_back(
                {c == '.' ? TOKEN_DIRECTIVE : TOKEN_WORD, line.substr(start, i - start)});
        } else {
            bool pair = i + 1 < line.size() && line[i + 1] == '=' &&
                        (c == '!' || c == '>' || c == '<');
            tokens->push_back({TOKEN_PUNCT, line.substr(i, pair ? 2 : 1)});
            i += pair ? 2 : 1;
        }
    }
    tokens->push_back({TOKEN_END, ""});
    return true;
}

// ---- The assembler ----

// The binding of the operators, by operator index: or, and, the comparisons,
// + and -, then * / %.
const int operator_level[] = {0, 1, 2, 2, 2, 2, 2, 2, 3, 3, 4, 4, 4};
static_assert(std::size(operator_level) == std::size(expression_operator_codes));
const int operand_level = 5;

// The seven tables of a compiled script, in file order.
const record_type* const table_types[] = {
    &parsed_entity_desc,      &parsed_variable_desc, &parsed_state_variable_desc,
    &parsed_attach_info_desc, &compiled_info_desc,   &parsed_sound_desc,
    &shader_info_desc};
constexpr int table_count = (int)std::size(table_types);

// A target of `if` or `else` that names a label, to fill in once the label
// is known.
struct label_use {
    long position;  // in the file
    std::string label;
    int line;
};

struct assembler {
    FILE* file = nullptr;
    std::string error;
    int line = 0;
    // The current statement's tokens.
    std::vector<token> tokens;
    size_t at = 0;
    // The tables' records, by table_types.
    dlink* lists[table_count] = {};
    int32_t list_sizes[table_count] = {};
    bool tables_written = false;
    long code_start = 0;
    std::map<std::string, int32_t> labels;
    std::vector<label_use> label_uses;

    bool fail(const std::string& why)
    {
        if (error.empty())
            error = "line " + std::to_string(line) + ": " + why;
        return false;
    }
    const token& peek() const { return tokens[at]; }
    bool next_is(const char* text) const
    {
        return peek().kind != TOKEN_STRING && peek().kind != TOKEN_END && peek().text == text;
    }
    bool take(const char* text)
    {
        if (!next_is(text))
            return false;
        ++at;
        return true;
    }
    bool expect(const char* text)
    {
        return take(text) ||
               fail(std::string("expected \"") + text + "\" before \"" +
                    (peek().kind == TOKEN_END ? "the end of the line" : peek().text) + "\"");
    }

    // ---- Plain operands ----

    bool number(float* value)
    {
        bool negative = take("-");
        if (peek().kind != TOKEN_NUMBER)
            return fail("expected a number");
        char* end = nullptr;
        errno = 0;
        double parsed = std::strtod(peek().text.c_str(), &end);
        if (*end || errno)
            return fail("bad number \"" + peek().text + "\"");
        ++at;
        *value = (float)(negative ? -parsed : parsed);
        return true;
    }
    bool integer(int32_t* value)
    {
        bool negative = take("-");
        if (peek().kind != TOKEN_NUMBER)
            return fail("expected a whole number");
        char* end = nullptr;
        errno = 0;
        long long parsed = std::strtoll(peek().text.c_str(), &end, 0);
        if (negative)
            parsed = -parsed;
        if (*end || errno || parsed < INT32_MIN || parsed > UINT32_MAX)
            return fail("bad whole number \"" + peek().text + "\"");
        ++at;
        *value = (int32_t)(uint32_t)parsed;  // words above INT32_MAX keep their bits
        return true;
    }
    bool text(std::string* value)
    {
        if (peek().kind != TOKEN_STRING)
            return fail("expected a string");
        *value = tokens[at++].text;
        return true;
    }
    bool comma() { return expect(","); }

    // ---- Expressions ----

    expression* leaf(uint32_t kind, float value)
    {
        expression* node = malloc_expression();
        if (!node) {
            fail("out of memory");
            return nullptr;
        }
        node->expression_type = kind;
        node->value = value;
        return node;
    }
    // A node over `left` and `right` (either may be NULL); NULL, with both
    // released, when something failed before or now.
    expression* join(uint32_t kind, float value, expression* left, expression* right, bool ok)
    {
        expression* node = ok ? leaf(kind, value) : nullptr;
        if (!node) {
            if (left)
                free_expression(left);
            if (right)
                free_expression(right);
            return nullptr;
        }
        node->left = left;
        node->right = right;
        return node;
    }
    int operator_index() const
    {
        if (peek().kind != TOKEN_WORD && peek().kind != TOKEN_PUNCT)
            return -1;
        for (size_t i = 0; i < std::size(expression_operator_codes); ++i)
            if (peek().text == compiled_command_table[expression_operator_codes[i]].keyword)
                return (int)i;
        return -1;
    }
    expression* expr(int level = 0)
    {
        if (level == operand_level)
            return operand();
        expression* left = expr(level + 1);
        for (int op; left && (op = operator_index()) >= 0 && operator_level[op] == level;) {
            ++at;
            expression* right = expr(level + 1);
            left = join(EXPRESSION_OPERATOR, (float)op, left, right, right != nullptr);
        }
        return left;
    }
    // A child of node(...): an expression, or "_" for none.
    bool child(expression** node)
    {
        *node = nullptr;
        return take("_") || (*node = expr()) != nullptr;
    }
    expression* operand()
    {
        if (take("!")) {
            expression* negated = operand();
            return join(EXPRESSION_OPERATOR, EXPRESSION_NOT_VALUE, negated, nullptr,
                        negated != nullptr);
        }
        if (take("(")) {
            expression* inner = expr();
            if (inner && !expect(")")) {
                free_expression(inner);
                return nullptr;
            }
            return inner;
        }
        static const struct {
            const char* name;
            uint32_t kind;
        } leaves[] = {{"var", EXPRESSION_VARIABLE},
                      {"state", EXPRESSION_STATE_VARIABLE},
                      {"call", EXPRESSION_FUNCTION}};
        for (const auto& named : leaves) {
            float value = 0.0f;
            if (take(named.name))
                return expect("(") && number(&value) && expect(")") ? leaf(named.kind, value)
                                                                    : nullptr;
        }
        if (take("node")) {
            int32_t kind = 0;
            float value = 0.0f;
            expression* left = nullptr;
            expression* right = nullptr;
            bool ok = expect("(") && integer(&kind) && comma() && number(&value);
            if (ok && take(","))
                ok = child(&left) && comma() && child(&right);
            ok = ok && expect(")");
            return join((uint32_t)kind, value, left, right, ok);
        }
        float value = 0.0f;
        return number(&value) ? leaf(EXPRESSION_CONSTANT, value) : nullptr;
    }

    // ---- Operands of commands and function records ----

    // The trees, strings and constants of `shape`, comma-separated, into a
    // new record `info` of the table's kind.
    bool operands(command_shape shape, compiled_info* info, bool first)
    {
        auto separator = [&]() {
            bool ok = first || comma();
            first = false;
            return ok;
        };
        if (shape.trees > 0 && (info->arg_ptr_array = malloc_expression_ptr_array(shape.trees)))
            info->n_expr = shape.trees;
        for (int32_t i = 0; i < info->n_expr; ++i)
            if (!separator() || !(info->arg_ptr_array[i].exp_ptr = expr()))
                return false;
        if (shape.strings > 0 && (info->string_arg_array = malloc_string_array(shape.strings)))
            info->n_str = shape.strings;
        for (int32_t i = 0; i < info->n_str; ++i) {
            std::string value;
            if (!separator() || !text(&value) ||
                !(info->string_arg_array[i].str = STRDUP(value.c_str())))
                return false;
        }
        if (shape.constants > 0 &&
            (info->const_arg = (float*)MALLOC(sizeof(float) * (size_t)shape.constants)))
            info->n_const = shape.constants;
        for (int32_t i = 0; i < info->n_const; ++i)
            if (!separator() || !number(&info->const_arg[i]))
                return false;
        return (shape.trees == info->n_expr && shape.strings == info->n_str &&
                shape.constants == info->n_const) ||
               fail("out of memory");
    }
    // A keyword or a code by number.
    bool code(int32_t* value)
    {
        if (peek().kind == TOKEN_NUMBER || (next_is("-") && tokens[at + 1].kind == TOKEN_NUMBER))
            return integer(value);
        *value = parse_command_code(peek().text.c_str());
        if (*value < 0 || peek().kind == TOKEN_END || peek().kind == TOKEN_STRING)
            return fail("unknown keyword \"" + peek().text + "\"");
        ++at;
        return true;
    }

    // ---- Tables ----

    bool add(const record_type* type, void* record)
    {
        if (!record)
            return fail("out of memory");
        int table = 0;
        while (table_types[table] != type)
            ++table;
        record_add_to_list(type, &lists[table], &list_sizes[table], (dlink*)record);
        return true;
    }
    void* named(const record_type* type, const std::string& name)
    {
        return record_malloc(type, name.c_str());
    }
    // An entity or a sound: name, file name, id.
    template <class T>
    bool named_file(const record_type* type, char* T::*filename, int32_t T::*id)
    {
        std::string name, file_name;
        int32_t id_value = 0;
        if (!(text(&name) && comma() && text(&file_name) && comma() && integer(&id_value)))
            return false;
        T* record = (T*)named(type, name);
        if (record && !(record->*filename = STRDUP(file_name.c_str()))) {
            record_free(type, record);
            record = nullptr;
        }
        if (record)
            record->*id = id_value;
        return add(type, record);
    }
    bool entity()
    {
        return named_file(&parsed_entity_desc, &parsed_entity::entity_filename, &parsed_entity::id);
    }
    bool variable()
    {
        std::string name;
        float value = 0.0f;
        int32_t id = 0;
        if (!(text(&name) && comma() && number(&value) && comma() && integer(&id)))
            return false;
        parsed_variable* record = (parsed_variable*)named(&parsed_variable_desc, name);
        if (record) {
            record->value = value;
            record->id = id;
        }
        return add(&parsed_variable_desc, record);
    }
    bool state_variable()
    {
        std::string name;
        int32_t words[3] = {};
        if (!(text(&name) && comma() && integer(&words[0]) && comma() && integer(&words[1]) &&
              comma() && integer(&words[2])))
            return false;
        parsed_state_variable* record = (parsed_state_variable*)named(&parsed_state_variable_desc,
                                                                      name);
        if (record) {
            record->state_type = words[0];
            record->slot = words[1];
            record->entity_id = words[2];
        }
        return add(&parsed_state_variable_desc, record);
    }
    bool attach()
    {
        parsed_attach_info* record = malloc_parsed_attach_info();
        if (!record)
            return fail("out of memory");
        bool ok = integer(&record->target_entity_id) && comma() &&
                  integer(&record->attach_entity_id) && comma() && integer(&record->joint_index);
        if (ok && take(",")) {
            for (int i = 0; ok && i < 12; ++i)
                ok = number(&record->attach_matrix.m[i / 3][i % 3]) && comma();
            ok = ok && integer(&record->attach_matrix.attrib);
        }
        if (!ok) {
            free_parsed_attach_info(record);
            return false;
        }
        return add(&parsed_attach_info_desc, record);
    }
    bool function()
    {
        int32_t type = 0;
        if (!code(&type))
            return false;
        compiled_info* record = malloc_compiled_info();
        if (!record)
            return fail("out of memory");
        record->compiled_info_type = type;
        if (!operands(parse_command_shape(type), record, true)) {
            free_compiled_info(record);
            return false;
        }
        return add(&compiled_info_desc, record);
    }
    bool sound()
    {
        return named_file(&parsed_sound_desc, &parsed_sound::sound_filename, &parsed_sound::id);
    }
    bool shader()
    {
        shader_info* record = malloc_shader_info();
        if (!record)
            return fail("out of memory");
        if (!(integer(&record->entity_position) && comma() && integer(&record->shader_slot) &&
              comma() && integer(&record->shader_anim_index))) {
            free_shader_info(record);
            return false;
        }
        return add(&shader_info_desc, record);
    }

    // ---- Output ----

    bool put(const void* bytes, int32_t n)
    {
        return file_write(file, bytes, n) || fail("write failed");
    }
    bool put_word(int32_t word) { return put(&word, 4); }

    // Each table: its count, then its records as a list stream.
    bool write_tables()
    {
        tables_written = true;
        for (int table = 0; table < table_count; ++table)
            if (!put_word(list_sizes[table]) ||
                (list_sizes[table] > 0 &&
                 !record_write_list_bin(table_types[table], file, lists[table], list_sizes[table])))
                return fail("write failed");
        code_start = std::ftell(file);
        return true;
    }

    // A branch target: a label (filled in at the end) or a byte offset.
    bool target()
    {
        if (peek().kind == TOKEN_WORD) {
            label_uses.push_back({std::ftell(file), tokens[at++].text, line});
            return put_word(0);
        }
        int32_t offset = 0;
        return integer(&offset) && put_word(offset);
    }

    bool command()
    {
        int32_t value = 0;
        bool raw = take(".code");
        if (!(raw ? integer(&value) : code(&value)))
            return false;
        if (!tables_written && !write_tables())
            return false;
        if (!put_word(value))
            return false;
        command_shape shape = parse_command_shape(value);
        if (shape.branch == COMMAND_BRANCH_ELSE)
            return target();
        expression* condition = nullptr;
        if (shape.branch == COMMAND_BRANCH_IF) {
            // Written as "if condition, true, else, end"; stored targets first.
            bool ok = (condition = expr()) && comma() && target() && comma() && target() &&
                      comma() && target() &&
                      (write_expression_bin(file, condition) || fail("write failed"));
            if (condition)
                free_expression(condition);
            return ok;
        }
        compiled_info* parsed = malloc_compiled_info();
        if (!parsed)
            return fail("out of memory");
        bool ok = operands(shape, parsed, true);
        for (int32_t i = 0; ok && i < parsed->n_expr; ++i)
            ok = write_expression_bin(file, parsed->arg_ptr_array[i].exp_ptr) ||
                 fail("write failed");
        for (int32_t i = 0; ok && i < parsed->n_str; ++i) {
            const char* str = parsed->string_arg_array[i].str;
            ok = put(str, (int32_t)std::strlen(str) + 1);
        }
        if (ok && parsed->n_const > 0)
            ok = put(parsed->const_arg, 4 * parsed->n_const);
        free_compiled_info(parsed);
        return ok;
    }

    bool statement()
    {
        // "name:" defines a label at the next command.
        if (peek().kind == TOKEN_WORD && tokens[at + 1].text == ":" &&
            tokens[at + 1].kind == TOKEN_PUNCT) {
            if (!tables_written && !write_tables())
                return false;
            std::string name = tokens[at].text;
            at += 2;
            if (!labels.emplace(name, (int32_t)(std::ftell(file) - code_start)).second)
                return fail("the label \"" + name + "\" is defined twice");
            if (peek().kind == TOKEN_END)
                return true;
        }
        static const struct {
            const char* name;
            bool (assembler::*parse)();
        } directives[] = {
            {".entity", &assembler::entity},
            {".variable", &assembler::variable},
            {".state_variable", &assembler::state_variable},
            {".attach", &assembler::attach},
            {".function", &assembler::function},
            {".sound", &assembler::sound},
            {".shader", &assembler::shader},
        };
        if (peek().kind == TOKEN_DIRECTIVE && peek().text != ".code") {
            for (const auto& directive : directives) {
                if (peek().text != directive.name)
                    continue;
                if (tables_written)
                    return fail("table records come before the first command");
                ++at;
                return (this->*directive.parse)();
            }
            return fail("unknown directive \"" + peek().text + "\"");
        }
        return command();
    }

    bool finish()
    {
        if (!tables_written && !write_tables())
            return false;
        for (const label_use& use : label_uses) {
            auto found = labels.find(use.label);
            line = use.line;
            if (found == labels.end())
                return fail("no label \"" + use.label + "\"");
            if (!file_seek(file, (int32_t)use.position) || !put_word(found->second))
                return false;
        }
        return true;
    }

    ~assembler()
    {
        for (int table = 0; table < table_count; ++table)
            if (lists[table])
                record_free_list(table_types[table], lists[table]);
    }
};

}  // namespace

int scriptasm_write(const char* source, const char* path, std::string* error)
{
    assembler assembly;
    if (!source || !path) {
        assembly.fail("no source or no path");
    } else if (!(assembly.file = file_open_write_version_bin(path, FILE_TYPE_SCRIPT,
                                                             FILE_VERSION_SCRIPT))) {
        assembly.error = std::string("cannot write ") + path;
    } else {
        const char* rest = source;
        bool ok = true;
        while (ok && *rest) {
            const char* end = std::strchr(rest, '\n');
            std::string line(rest, end ? (size_t)(end - rest) : std::strlen(rest));
            rest = end ? end + 1 : rest + line.size();
            ++assembly.line;
            assembly.tokens.clear();
            assembly.at = 0;
            std::string why;
            ok = tokenize(line, &assembly.tokens, &why)
                     ? assembly.peek().kind == TOKEN_END || assembly.statement()
                     : assembly.fail(why);
            if (ok && assembly.peek().kind != TOKEN_END)
                ok = assembly.fail("unexpected \"" + assembly.peek().text + "\"");
        }
        ok = ok && assembly.finish();
        ok = file_close(assembly.file) && ok;
        if (!ok)
            remove_file(path);
    }
    if (error)
        *error = assembly.error;
    return assembly.error.empty();
}
