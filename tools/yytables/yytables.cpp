// yytables: writes the parser engine's tables for a grammar.
//
//   yytables GRAMMAR.y AUTOMATON.xml OUT_DIR
//
// AUTOMATON.xml is what `bison --xml` writes for GRAMMAR.y: the rules and the
// LALR(1) states with their shifts, gotos, reductions and errors. The XML
// does not say which rules carry an action, nor which symbols have a
// destructor, so GRAMMAR.y is read for those: its rules are matched one by
// one with the automaton's (mid-rule actions become rules of their own, as
// bison makes them), and a disagreement stops the program.
//
// For a grammar named NAME (the file name of GRAMMAR.y without ".y") it
// writes OUT_DIR/NAME_tables.h and OUT_DIR/NAME_tables.cpp: the compressed
// tables (NAME_tables), the grammar's parser record (NAME_parser, with 4-byte
// values) and the declaration of the action function the grammar module
// supplies (NAME_action). Action numbers run over the rules that carry an
// action, in rule order, then over the %destructor declarations in order.
// The same input always gives the same output, byte for byte.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <expat.h>

namespace {

[[noreturn]] void fail(const std::string& message)
{
    std::fprintf(stderr, "yytables: %s\n", message.c_str());
    std::exit(1);
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        fail("cannot read " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// ---------------------------------------------------------------------------
// The automaton, from bison's XML report.

struct xml_rule {
    std::string lhs;
    std::vector<std::string> rhs;
};

struct xml_transition {
    bool shift;  // else goto
    std::string symbol;
    int state;
};

struct xml_reduction {
    std::string symbol;  // "$default" for the state's default
    int rule;            // -1 for accept
};

struct xml_state {
    std::vector<xml_transition> transitions;
    std::vector<std::string> errors;
    std::vector<xml_reduction> reductions;
};

struct automaton {
    std::vector<xml_rule> rules;
    std::map<std::string, int> token_numbers;  // terminal name -> token number
    std::vector<std::string> nonterminals;     // in symbol-number order
    std::vector<xml_state> states;
};

struct xml_reader {
    automaton* result;
    std::vector<std::string> path;  // open elements
    std::string text;
    std::vector<std::pair<int, std::string>> nonterminals;  // symbol number, name
};

const char* xml_attribute(const XML_Char** attributes, const char* name)
{
    for (int i = 0; attributes[i]; i += 2)
        if (std::string(attributes[i]) == name)
            return attributes[i + 1];
    return nullptr;
}

std::string required_attribute(const XML_Char** attributes, const char* name)
{
    const char* value = xml_attribute(attributes, name);
    if (!value)
        fail(std::string("XML element without attribute ") + name);
    return value;
}

int to_int(const std::string& text)
{
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0')
        fail("not a number in the XML: '" + text + "'");
    return (int)value;
}

void XMLCALL xml_start(void* data, const XML_Char* name_chars, const XML_Char** attributes)
{
    xml_reader* reader = (xml_reader*)data;
    automaton* a = reader->result;
    std::string name = name_chars;
    std::string parent = reader->path.empty() ? "" : reader->path.back();
    reader->path.push_back(name);
    reader->text.clear();

    if (name == "rule" && parent == "rules") {
        if (to_int(required_attribute(attributes, "number")) != (int)a->rules.size())
            fail("rules out of order in the XML");
        a->rules.push_back({});
    } else if (name == "terminal") {
        a->token_numbers[required_attribute(attributes, "name")] = to_int(
            required_attribute(attributes, "token-number"));
    } else if (name == "nonterminal") {
        reader->nonterminals.push_back({to_int(required_attribute(attributes, "symbol-number")),
                                        required_attribute(attributes, "name")});
    } else if (name == "state") {
        if (to_int(required_attribute(attributes, "number")) != (int)a->states.size())
            fail("states out of order in the XML");
        a->states.push_back({});
    } else if (name == "transition") {
        std::string type = required_attribute(attributes, "type");
        if (type != "shift" && type != "goto")
            fail("unknown transition type " + type);
        a->states.back().transitions.push_back({type == "shift",
                                                required_attribute(attributes, "symbol"),
                                                to_int(required_attribute(attributes, "state"))});
    } else if (name == "error" && parent == "errors") {
        a->states.back().errors.push_back(required_attribute(attributes, "symbol"));
    } else if (name == "reduction") {
        // Reductions that lost a conflict are listed, but disabled.
        if (required_attribute(attributes, "enabled") != "true")
            return;
        std::string rule = required_attribute(attributes, "rule");
        a->states.back().reductions.push_back(
            {required_attribute(attributes, "symbol"), rule == "accept" ? -1 : to_int(rule)});
    }
}

void XMLCALL xml_end(void* data, const XML_Char* name_chars)
{
    xml_reader* reader = (xml_reader*)data;
    automaton* a = reader->result;
    std::string name = name_chars;
    reader->path.pop_back();
    std::string parent = reader->path.empty() ? "" : reader->path.back();
    if (name == "lhs" && parent == "rule")
        a->rules.back().lhs = reader->text;
    else if (name == "symbol" && parent == "rhs")
        a->rules.back().rhs.push_back(reader->text);
    reader->text.clear();
}

void XMLCALL xml_text(void* data, const XML_Char* text, int length)
{
    ((xml_reader*)data)->text.append(text, (size_t)length);
}

automaton read_automaton(const std::string& path)
{
    std::string xml = read_file(path);
    automaton result;
    xml_reader reader = {&result, {}, {}, {}};
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, &reader);
    XML_SetElementHandler(parser, xml_start, xml_end);
    XML_SetCharacterDataHandler(parser, xml_text);
    if (XML_Parse(parser, xml.data(), (int)xml.size(), 1) == XML_STATUS_ERROR) {
        std::string message = XML_ErrorString(XML_GetErrorCode(parser));
        long line = (long)XML_GetCurrentLineNumber(parser);
        XML_ParserFree(parser);
        fail(path + ":" + std::to_string(line) + ": " + message);
    }
    XML_ParserFree(parser);
    std::sort(reader.nonterminals.begin(), reader.nonterminals.end());
    for (const auto& nonterminal : reader.nonterminals)
        result.nonterminals.push_back(nonterminal.second);
    if (result.rules.empty() || result.states.empty() || result.nonterminals.empty())
        fail(path + " holds no automaton");
    return result;
}

// ---------------------------------------------------------------------------
// What the XML leaves out, from the grammar file: which rules carry an
// action, and the %destructor declarations.

enum y_kind { Y_END, Y_SECTION, Y_DIRECTIVE, Y_CODE, Y_SYMBOL, Y_TAG, Y_NUMBER, Y_PUNCT };

struct y_token {
    y_kind kind;
    std::string text;
    int line;
};

struct y_lexer {
    const std::string& source;
    std::string path;
    size_t at = 0;
    int line = 1;

    [[noreturn]] void error(const std::string& message) const
    {
        fail(path + ":" + std::to_string(line) + ": " + message);
    }

    char peek(size_t ahead = 0) const
    {
        return at + ahead < source.size() ? source[at + ahead] : '\0';
    }

    void advance()
    {
        if (peek() == '\n')
            ++line;
        ++at;
    }

    // Skips a comment at the cursor; false when none is there.
    bool skip_comment()
    {
        if (peek() == '/' && peek(1) == '*') {
            advance();
            advance();
            while (!(peek() == '*' && peek(1) == '/')) {
                if (!peek())
                    error("comment not closed");
                advance();
            }
            advance();
            advance();
            return true;
        }
        if (peek() == '/' && peek(1) == '/') {
            while (peek() && peek() != '\n')
                advance();
            return true;
        }
        return false;
    }

    // A quoted literal at the cursor (its quote character opens and closes
    // it), escapes kept.
    std::string quoted()
    {
        char quote = peek();
        size_t start = at;
        advance();
        while (peek() != quote) {
            if (!peek() || peek() == '\n')
                error("literal not closed");
            if (peek() == '\\')
                advance();
            advance();
        }
        advance();
        return source.substr(start, at - start);
    }

    // A braced code block at the cursor, braces in strings, character
    // literals and comments not counted.
    std::string code()
    {
        size_t start = at;
        int depth = 0;
        do {
            if (skip_comment())
                continue;
            char c = peek();
            if (!c)
                error("code block not closed");
            if (c == '"' || c == '\'') {
                quoted();
                continue;
            }
            if (c == '{')
                ++depth;
            else if (c == '}')
                --depth;
            advance();
        } while (depth > 0);
        return source.substr(start, at - start);
    }

    y_token next()
    {
        for (;;) {
            while (std::isspace((unsigned char)peek()))
                advance();
            if (!skip_comment())
                break;
        }
        int start_line = line;
        char c = peek();
        if (!c)
            return {Y_END, "", start_line};
        if (c == '%' && peek(1) == '%') {
            advance();
            advance();
            return {Y_SECTION, "%%", start_line};
        }
        if (c == '%' && peek(1) == '{') {  // prologue
            while (!(peek() == '%' && peek(1) == '}')) {
                if (!peek())
                    error("prologue not closed");
                advance();
            }
            advance();
            advance();
            return next();
        }
        if (c == '%' && (std::isalpha((unsigned char)peek(1)) || peek(1) == '?')) {
            size_t start = at;
            advance();
            while (std::isalnum((unsigned char)peek()) || peek() == '-' || peek() == '_' ||
                   peek() == '?')
                advance();
            return {Y_DIRECTIVE, source.substr(start, at - start), start_line};
        }
        if (c == '{')
            return {Y_CODE, code(), start_line};
        if (c == '\'' || c == '"')
            return {Y_SYMBOL, quoted(), start_line};
        if (c == '<') {
            size_t start = at;
            while (peek() != '>') {
                if (!peek())
                    error("tag not closed");
                advance();
            }
            advance();
            return {Y_TAG, source.substr(start, at - start), start_line};
        }
        if (std::isalpha((unsigned char)c) || c == '_' || c == '.') {
            size_t start = at;
            while (std::isalnum((unsigned char)peek()) || peek() == '_' || peek() == '.' ||
                   peek() == '-')
                advance();
            return {Y_SYMBOL, source.substr(start, at - start), start_line};
        }
        if (std::isdigit((unsigned char)c)) {
            size_t start = at;
            while (std::isdigit((unsigned char)peek()))
                advance();
            return {Y_NUMBER, source.substr(start, at - start), start_line};
        }
        advance();
        return {Y_PUNCT, std::string(1, c), start_line};
    }
};

struct grammar_rule {
    std::string lhs;  // empty for a mid-rule action's rule
    int length;
    bool action;
};

struct grammar_file {
    std::vector<grammar_rule> rules;                    // from rule 1 on, in bison's order
    std::vector<std::vector<std::string>> destructors;  // symbols of each %destructor
};

// Reads the tokens of `lexer` into a list, so that the rules can look ahead.
std::vector<y_token> y_tokens(y_lexer* lexer)
{
    std::vector<y_token> tokens;
    int sections = 0;
    for (;;) {
        y_token token = lexer->next();
        tokens.push_back(token);
        if (token.kind == Y_END)
            break;
        // What follows the second "%%" is C++ for bison's own output.
        if (token.kind == Y_SECTION && ++sections == 2)
            break;
    }
    return tokens;
}

grammar_file read_grammar(const std::string& path)
{
    std::string source = read_file(path);
    y_lexer lexer{source, path};
    std::vector<y_token> tokens = y_tokens(&lexer);
    grammar_file result;
    size_t i = 0;
    auto at = [&](size_t k) -> const y_token& { return tokens[std::min(k, tokens.size() - 1)]; };
    auto error = [&](const y_token& token, const std::string& message) {
        fail(path + ":" + std::to_string(token.line) + ": " + message);
    };

    // Declarations: only %destructor matters.
    for (; at(i).kind != Y_SECTION; ++i) {
        if (at(i).kind == Y_END)
            error(at(i), "no rules section");
        if (at(i).kind != Y_DIRECTIVE || at(i).text != "%destructor")
            continue;
        if (at(++i).kind != Y_CODE)
            error(at(i), "%destructor without a code block");
        std::vector<std::string> symbols;
        while (at(i + 1).kind == Y_SYMBOL || at(i + 1).kind == Y_TAG) {
            ++i;
            if (at(i).kind == Y_TAG)
                error(at(i), "destructors are given per symbol, not per tag");
            symbols.push_back(at(i).text);
        }
        if (symbols.empty())
            error(at(i), "%destructor without symbols");
        result.destructors.push_back(symbols);
    }
    ++i;

    // Rules. An action followed by anything in its alternative is a mid-rule
    // action: bison makes it a rule of its own, numbered before its host.
    auto starts_rule = [&](size_t k) {
        if (at(k).kind != Y_SYMBOL)
            return false;
        if (at(k + 1).kind == Y_PUNCT && at(k + 1).text == "[")  // named reference
            k += 3;
        return at(k + 1).kind == Y_PUNCT && at(k + 1).text == ":";
    };
    while (at(i).kind != Y_END && at(i).kind != Y_SECTION) {
        if (at(i).kind == Y_PUNCT && at(i).text == ";") {
            ++i;
            continue;
        }
        if (!starts_rule(i))
            error(at(i), "expected a rule, found '" + at(i).text + "'");
        std::string lhs = at(i).text;
        while (!(at(i).kind == Y_PUNCT && at(i).text == ":"))
            ++i;
        ++i;
        bool rule_ends = false;
        while (!rule_ends) {
            // One alternative: its items are symbols ('s') and actions ('a').
            std::string items;
            for (;;) {
                const y_token& token = at(i);
                if (token.kind == Y_END || token.kind == Y_SECTION || starts_rule(i)) {
                    rule_ends = true;
                    break;
                }
                ++i;
                if (token.kind == Y_PUNCT && token.text == ";") {
                    rule_ends = true;
                    break;
                }
                if (token.kind == Y_PUNCT && token.text == "|")
                    break;
                if (token.kind == Y_SYMBOL) {
                    items += 's';
                } else if (token.kind == Y_CODE) {
                    items += 'a';
                } else if (token.kind == Y_PUNCT && token.text == "[") {
                    i += 2;  // a named reference: [name]
                } else if (token.kind == Y_DIRECTIVE) {
                    if (token.text == "%prec" || token.text == "%dprec" || token.text == "%merge" ||
                        token.text == "%expect" || token.text == "%expect-rr")
                        ++i;  // its argument
                    else if (token.text != "%empty")
                        error(token, "unsupported " + token.text + " in a rule");
                } else if (token.kind != Y_TAG) {
                    error(token, "unexpected '" + token.text + "' in a rule");
                }
            }
            for (size_t k = 0; k + 1 < items.size(); ++k)
                if (items[k] == 'a')
                    result.rules.push_back({"", 0, true});
            bool action = !items.empty() && items.back() == 'a';
            result.rules.push_back({lhs, (int)items.size() - (action ? 1 : 0), action});
        }
    }
    return result;
}

// ---------------------------------------------------------------------------
// The tables.

enum { T_SHIFT = 0, T_REDUCE = 1, T_ERROR = 2, T_ACCEPT = 3, T_CONTINUE = 4 };

struct action {
    int type;
    int target;
    bool operator==(const action&) const = default;
    bool operator<(const action& other) const
    {
        return type != other.type ? type < other.type : target < other.target;
    }
};

struct state_row {
    std::map<int, action> entries;  // token -> action, the default left out
    action default_action{T_ERROR, 0};
};

struct packed_state {
    int base = 0;
    bool lookahead = false;
    action default_action{T_ERROR, 0};
};

// Packs sparse rows into one table (first fit, largest rows first). Returns
// each row's base; `slots` receives, per used index, the row and key there.
std::vector<int> pack_rows(const std::vector<std::vector<int>>& keys,
                           std::vector<std::pair<int, int>>* slots)
{
    std::vector<int> order(keys.size());
    for (size_t r = 0; r < keys.size(); ++r)
        order[r] = (int)r;
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return keys[a].size() > keys[b].size(); });
    std::vector<int> bases(keys.size(), 0);
    for (int row : order) {
        const std::vector<int>& row_keys = keys[row];
        if (row_keys.empty())
            continue;
        int base = -row_keys.front();  // keys are sorted: no index below 0
        for (;; ++base) {
            bool fits = true;
            for (int key : row_keys) {
                size_t index = (size_t)(base + key);
                if (index < slots->size() && (*slots)[index].first >= 0) {
                    fits = false;
                    break;
                }
            }
            if (fits)
                break;
        }
        if (base > INT16_MAX)
            fail("tables too large for 16-bit entries");
        bases[row] = base;
        for (int key : row_keys) {
            size_t index = (size_t)(base + key);
            if (index >= slots->size())
                slots->resize(index + 1, {-1, 0});
            (*slots)[index] = {row, key};
        }
    }
    return bases;
}

struct tables {
    std::vector<packed_state> states;
    std::vector<std::pair<int, action>> triples;  // check, action; check -1 free
    std::vector<std::pair<int, int>> gotos;       // base, default state
    std::vector<std::pair<int, int>> goto_pairs;  // check, next state
    std::vector<int> rule_actions;                // per rule, -1 for none
    std::vector<int> destructors;                 // per state; empty for none
    std::vector<std::string> action_names;        // what each action number is
};

std::string rule_text(const automaton& a, int rule);

int token_number(const automaton& a, const std::string& name)
{
    auto found = a.token_numbers.find(name);
    if (found == a.token_numbers.end())
        fail("unknown terminal " + name);
    return found->second;
}

tables build_tables(const automaton& a, const grammar_file& grammar)
{
    tables result;

    // Actions of the rules, checked against the automaton's rules.
    if (grammar.rules.size() + 1 != a.rules.size())
        fail("the grammar has " + std::to_string(grammar.rules.size()) + " rules, the automaton " +
             std::to_string(a.rules.size() - 1));
    result.rule_actions.push_back(-1);
    for (size_t r = 1; r < a.rules.size(); ++r) {
        const grammar_rule& g = grammar.rules[r - 1];
        const xml_rule& x = a.rules[r];
        bool mid_rule = x.lhs.rfind("$@", 0) == 0 || x.lhs.rfind("@", 0) == 0;
        if ((int)x.rhs.size() != g.length || (g.lhs.empty() ? !mid_rule : g.lhs != x.lhs))
            fail("rule " + std::to_string(r) + " of the grammar and of the automaton differ (" +
                 rule_text(a, (int)r) + ")");
        result.rule_actions.push_back(g.action ? (int)result.action_names.size() : -1);
        if (g.action)
            result.action_names.push_back("rule " + std::to_string(r) + ": " +
                                          rule_text(a, (int)r));
    }

    // The destructor of each state is the one of the symbol that enters it.
    std::map<std::string, int> destructor_of;
    for (const std::vector<std::string>& symbols : grammar.destructors) {
        std::string names;
        for (const std::string& symbol : symbols) {
            destructor_of[symbol] = (int)result.action_names.size();
            names += " " + symbol;
        }
        result.action_names.push_back("destructor of" + names);
    }
    if (!destructor_of.empty()) {
        std::set<std::string> known;
        for (const auto& terminal : a.token_numbers)
            known.insert(terminal.first);
        known.insert(a.nonterminals.begin(), a.nonterminals.end());
        for (const auto& entry : destructor_of)
            if (!known.count(entry.first))
                fail("%destructor for unknown symbol " + entry.first);
        result.destructors.assign(a.states.size(), -1);
        for (const xml_state& state : a.states)
            for (const xml_transition& transition : state.transitions) {
                auto found = destructor_of.find(transition.symbol);
                if (found != destructor_of.end())
                    result.destructors[transition.state] = found->second;
            }
    }

    // Rows of the action table.
    std::vector<state_row> rows(a.states.size());
    for (size_t s = 0; s < a.states.size(); ++s) {
        const xml_state& state = a.states[s];
        state_row& row = rows[s];
        for (const xml_reduction& reduction : state.reductions) {
            action act = reduction.rule < 0 ? action{T_ACCEPT, 0}
                                            : action{T_REDUCE, reduction.rule};
            if (reduction.symbol == "$default")
                row.default_action = act;
            else
                row.entries[token_number(a, reduction.symbol)] = act;
        }
        for (const xml_transition& transition : state.transitions)
            if (transition.shift)
                row.entries[token_number(a, transition.symbol)] = {T_SHIFT, transition.state};
        for (const std::string& symbol : state.errors)
            row.entries[token_number(a, symbol)] = {T_ERROR, 0};
        for (auto entry = row.entries.begin(); entry != row.entries.end();)
            entry = entry->second == row.default_action ? row.entries.erase(entry) : ++entry;
    }

    // A state whose row holds all of an earlier state's row, with the same
    // default, keeps only the difference and continues in that state.
    std::vector<state_row> stored = rows;
    result.states.resize(rows.size());
    for (size_t s = 0; s < rows.size(); ++s) {
        packed_state& packed = result.states[s];
        packed.default_action = rows[s].default_action;
        packed.lookahead = !rows[s].entries.empty() || rows[s].default_action.type == T_ERROR;
        int best = -1;
        for (size_t t = 0; t < s; ++t) {
            const state_row& earlier = rows[t];
            if (earlier.entries.empty() || earlier.default_action != rows[s].default_action ||
                (best >= 0 && earlier.entries.size() <= rows[best].entries.size()))
                continue;
            bool subset = std::all_of(earlier.entries.begin(), earlier.entries.end(),
                                      [&](const std::pair<const int, action>& entry) {
                                          auto mine = rows[s].entries.find(entry.first);
                                          return mine != rows[s].entries.end() &&
                                                 mine->second == entry.second;
                                      });
            if (subset)
                best = (int)t;
        }
        if (best >= 0) {
            for (const auto& entry : rows[best].entries)
                stored[s].entries.erase(entry.first);
            packed.default_action = {T_CONTINUE, best};
        }
    }

    std::vector<std::vector<int>> keys(stored.size());
    for (size_t s = 0; s < stored.size(); ++s)
        for (const auto& entry : stored[s].entries)
            keys[s].push_back(entry.first);
    std::vector<std::pair<int, int>> slots;
    std::vector<int> bases = pack_rows(keys, &slots);
    for (size_t s = 0; s < stored.size(); ++s)
        result.states[s].base = bases[s];
    for (const auto& slot : slots)
        result.triples.push_back(
            slot.first < 0
                ? std::pair<int, action>{-1, {T_ERROR, 0}}
                : std::pair<int, action>{slot.first, stored[slot.first].entries[slot.second]});

    // Gotos: each nonterminal's most frequent next state is its default.
    std::map<std::string, int> nonterminal_index;
    for (size_t n = 0; n < a.nonterminals.size(); ++n)
        nonterminal_index[a.nonterminals[n]] = (int)n;
    std::vector<std::map<int, int>> goto_rows(a.nonterminals.size());  // state -> next
    for (size_t s = 0; s < a.states.size(); ++s)
        for (const xml_transition& transition : a.states[s].transitions)
            if (!transition.shift) {
                auto found = nonterminal_index.find(transition.symbol);
                if (found == nonterminal_index.end())
                    fail("goto on unknown nonterminal " + transition.symbol);
                goto_rows[found->second][(int)s] = transition.state;
            }
    std::vector<int> defaults(goto_rows.size(), 0);
    std::vector<std::vector<int>> goto_keys(goto_rows.size());
    for (size_t n = 0; n < goto_rows.size(); ++n) {
        std::map<int, int> count;
        for (const auto& entry : goto_rows[n])
            ++count[entry.second];
        int best_count = 0;
        for (const auto& entry : count)
            if (entry.second > best_count) {
                best_count = entry.second;
                defaults[n] = entry.first;
            }
        for (const auto& entry : goto_rows[n])
            if (entry.second != defaults[n])
                goto_keys[n].push_back(entry.first);
    }
    std::vector<std::pair<int, int>> goto_slots;
    std::vector<int> goto_bases = pack_rows(goto_keys, &goto_slots);
    for (size_t n = 0; n < goto_rows.size(); ++n)
        result.gotos.push_back({goto_bases[n], defaults[n]});
    for (const auto& slot : goto_slots)
        result.goto_pairs.push_back(
            slot.first < 0 ? std::pair<int, int>{-1, 0}
                           : std::pair<int, int>{slot.first, goto_rows[slot.first][slot.second]});
    return result;
}

// ---------------------------------------------------------------------------
// Output.

// Mid-rule action symbols are named $$1, $$2, ... in the trace.
std::string symbol_text(const std::string& name)
{
    if (name.rfind("$@", 0) == 0)
        return "$$" + name.substr(2);
    return name;
}

std::string rule_text(const automaton& a, int rule)
{
    std::string text = symbol_text(a.rules[rule].lhs) + " :";
    for (const std::string& symbol : a.rules[rule].rhs)
        text += " " + symbol_text(symbol);
    return text;
}

std::string c_string(const std::string& text)
{
    std::string result = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            result += '\\';
        result += c;
    }
    return result + "\"";
}

std::string upper(std::string text)
{
    for (char& c : text)
        c = (char)std::toupper((unsigned char)c);
    return text;
}

bool is_c_name(const std::string& name)
{
    if (name.empty() || !(std::isalpha((unsigned char)name[0]) || name[0] == '_'))
        return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return std::isalnum((unsigned char)c) || c == '_'; });
}

void write_file(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    if (!out)
        fail("cannot write " + path);
}

std::string header_text(const std::string& name, const std::string& grammar_file_name,
                        const automaton& a, const tables& t)
{
    std::ostringstream out;
    out << "// The parser tables of the grammar " << grammar_file_name
        << ", written by tools/yytables\n"
        << "// from the grammar and bison's description of its automaton. Do not edit:\n"
        << "// change the grammar and write them again.\n"
        << "#pragma once\n\n#include \"yym/yym.h\"\n\n";
    std::vector<std::pair<int, std::string>> named;
    for (const auto& terminal : a.token_numbers)
        if (terminal.second > 256 && is_c_name(terminal.first))
            named.push_back({terminal.second, terminal.first});
    std::sort(named.begin(), named.end());
    if (!named.empty()) {
        out << "// Token numbers.\nenum {\n";
        for (const auto& token : named)
            out << "    " << upper(name) << "_" << token.second << " = " << token.first << ",\n";
        out << "};\n\n";
    }
    out << "// Action numbers, for " << name << "_action:\n";
    for (size_t k = 0; k < t.action_names.size(); ++k)
        out << "//   " << k << "  " << t.action_names[k] << "\n";
    out << "\nextern const yym_tables " << name << "_tables;\n"
        << "// The grammar's parser record, with 4-byte values.\n"
        << "extern yym_parser " << name << "_parser;\n"
        << "// Supplied by the grammar module.\n"
        << "void " << name << "_action(yym_parser* yy, int32_t action);\n";
    return out.str();
}

std::string source_text(const std::string& name, const std::string& grammar_file_name,
                        const automaton& a, const tables& t)
{
    static const char* const type_names[] = {"shift", "reduce", "error", "accept", "continue"};
    std::ostringstream out;
    out << "// The parser tables of the grammar " << grammar_file_name
        << ", written by tools/yytables. Do not edit.\n"
        << "// clang-format off\n"
        << "#include \"" << name << "_tables.h\"\n\nnamespace {\n\n";

    out << "const yym_state_action state_actions[] = {\n";
    for (size_t s = 0; s < t.states.size(); ++s) {
        const packed_state& state = t.states[s];
        out << "    {" << state.base << ", " << (state.lookahead ? 1 : 0) << ", "
            << state.default_action.type << ", " << state.default_action.target << "},  // " << s
            << ": " << type_names[state.default_action.type] << "\n";
    }
    out << "};\n\n";

    // Five to a line, each line led by the index of its first entry.
    out << "const yym_action_triple action_triples[] = {";
    for (size_t k = 0; k < t.triples.size(); ++k) {
        if (k % 5 == 0)
            out << "\n    /* " << k << " */";
        out << " {" << t.triples[k].first << ", " << t.triples[k].second.type << ", "
            << t.triples[k].second.target << "},";
    }
    if (t.triples.empty())
        out << "\n    {-1, 2, 0},";
    out << "\n};\n\n";

    out << "const yym_goto gotos[] = {\n";
    for (size_t n = 0; n < t.gotos.size(); ++n)
        out << "    {" << t.gotos[n].first << ", " << t.gotos[n].second << "},  // "
            << symbol_text(a.nonterminals[n]) << "\n";
    out << "};\n\n";

    out << "const yym_goto_pair goto_pairs[] = {";
    for (size_t k = 0; k < t.goto_pairs.size(); ++k) {
        if (k % 5 == 0)
            out << "\n    /* " << k << " */";
        out << " {" << t.goto_pairs[k].first << ", " << t.goto_pairs[k].second << "},";
    }
    if (t.goto_pairs.empty())
        out << "\n    {-1, 0},";
    out << "\n};\n\n";

    std::map<std::string, int> nonterminal_index;
    for (size_t n = 0; n < a.nonterminals.size(); ++n)
        nonterminal_index[a.nonterminals[n]] = (int)n;
    out << "const yym_rule rules[] = {\n";
    for (size_t r = 0; r < a.rules.size(); ++r)
        out << "    {" << nonterminal_index.at(a.rules[r].lhs) << ", " << a.rules[r].rhs.size()
            << ", " << t.rule_actions[r] << "},\n";
    out << "};\n\n";

    if (!t.destructors.empty()) {
        out << "const int16_t destructors[] = {\n   ";
        for (int destructor : t.destructors)
            out << " " << destructor << ",";
        out << "\n};\n\n";
    }

    std::vector<std::pair<int, std::string>> terminals;
    for (const auto& terminal : a.token_numbers)
        terminals.push_back({terminal.second, terminal.first});
    std::sort(terminals.begin(), terminals.end());
    out << "const yym_token_name token_names[] = {\n";
    for (const auto& terminal : terminals)
        out << "    {" << c_string(terminal.second) << ", " << terminal.first << "},\n";
    out << "    {nullptr, 0},\n};\n\n";

    out << "const char* const rule_names[] = {\n";
    for (size_t r = 0; r < a.rules.size(); ++r)
        out << "    " << c_string(rule_text(a, (int)r)) << ",\n";
    out << "};\n\n";

    out << "int16_t state_stack[YYM_STATIC_STACK_SIZE];\n"
        << "int32_t attribute_stack[YYM_STATIC_STACK_SIZE];\n"
        << "int32_t value;\nint32_t lookahead_value;\n\n}  // namespace\n\n";

    out << "const yym_tables " << name << "_tables = {\n"
        << "    state_actions,\n"
        << "    action_triples, " << t.triples.size() << ",\n"
        << "    gotos,\n"
        << "    goto_pairs, " << t.goto_pairs.size() << ",\n"
        << "    rules,\n"
        << "    " << (t.destructors.empty() ? "nullptr" : "destructors") << ",\n"
        << "    token_names,\n    rule_names,\n};\n\n";

    out << "yym_parser " << name << "_parser =\n"
        << "    yym_parser_initial(&" << name << "_tables, " << name << "_action, state_stack,\n"
        << "                       attribute_stack, YYM_STATIC_STACK_SIZE, sizeof(int32_t), "
           "&value,\n"
        << "                       &lookahead_value);\n";
    return out.str();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: yytables GRAMMAR.y AUTOMATON.xml OUT_DIR\n");
        return 2;
    }
    std::string grammar_path = argv[1];
    std::string grammar_file_name = grammar_path.substr(grammar_path.find_last_of('/') + 1);
    if (grammar_file_name.size() < 3 ||
        grammar_file_name.compare(grammar_file_name.size() - 2, 2, ".y") != 0)
        fail("the grammar's file name must end in .y");
    std::string name = grammar_file_name.substr(0, grammar_file_name.size() - 2);
    if (!is_c_name(name))
        fail("the grammar's name must be a C++ name: " + name);

    automaton a = read_automaton(argv[2]);
    grammar_file grammar = read_grammar(grammar_path);
    tables t = build_tables(a, grammar);
    if (t.states.size() > (size_t)INT16_MAX || t.triples.size() > (size_t)INT16_MAX ||
        t.goto_pairs.size() > (size_t)INT16_MAX)
        fail("tables too large for 16-bit entries");

    std::string out_dir = argv[3];
    write_file(out_dir + "/" + name + "_tables.h", header_text(name, grammar_file_name, a, t));
    write_file(out_dir + "/" + name + "_tables.cpp", source_text(name, grammar_file_name, a, t));
    return 0;
}
