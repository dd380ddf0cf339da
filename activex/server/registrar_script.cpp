/*
 * The registration script language: %NAME% substitution, a tokenizer and a
 * recursive-descent parser that turns the whole text into ScriptBlocks
 * before anything touches the registry.
 */
#include "registrar_script.h"

namespace {

wchar_t FoldAscii(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') ? (wchar_t)(c - L'A' + L'a') : c;
}

bool EqualsNoCase(const wchar_t *a, size_t length, const wchar_t *b)
{
    size_t i = 0;
    for (; i < length && b[i] != 0; i++) {
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    }
    return i == length && b[i] == 0;
}

bool EqualsNoCase(const ScriptText &a, const wchar_t *b)
{
    return EqualsNoCase(a.data(), a.size(), b);
}

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    c = FoldAscii(c);
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    return -1;
}

/* --- tokens ---------------------------------------------------------- */

enum TokenKind { TOKEN_END, TOKEN_WORD, TOKEN_QUOTED, TOKEN_OPEN, TOKEN_CLOSE, TOKEN_EQUALS, TOKEN_BAD };

struct Token {
    TokenKind kind = TOKEN_END;
    ScriptText text;
};

class Lexer {
public:
    explicit Lexer(const ScriptText &text) : text_(text), pos_(0) { Advance(); }

    const Token &Peek() const { return current_; }
    Token Next()
    {
        Token token = current_;
        Advance();
        return token;
    }

private:
    bool AtBoundary(size_t at) const
    {
        return at >= text_.size() || IsBlank(text_[at]) || text_[at] == L'{' || text_[at] == L'}';
    }

    void Advance()
    {
        while (pos_ < text_.size() && IsBlank(text_[pos_]))
            pos_++;
        current_ = Token();
        if (pos_ >= text_.size())
            return;
        wchar_t c = text_[pos_];
        /* A brace standing alone opens or closes a list; one that starts a
           longer word belongs to a name such as a bare {GUID}. */
        if ((c == L'{' || c == L'}') && AtBoundary(pos_ + 1)) {
            current_.kind = c == L'{' ? TOKEN_OPEN : TOKEN_CLOSE;
            pos_++;
        } else if (c == L'=') {
            current_.kind = TOKEN_EQUALS;
            pos_++;
        } else if (c == L'\'') {
            ReadQuoted();
        } else {
            size_t start = pos_;
            while (pos_ < text_.size() && !IsBlank(text_[pos_]) && text_[pos_] != L'=' && text_[pos_] != L'\'')
                pos_++;
            current_.kind = TOKEN_WORD;
            current_.text.assign(text_, start, pos_ - start);
        }
    }

    void ReadQuoted()
    {
        pos_++;
        for (;;) {
            if (pos_ >= text_.size()) {
                current_.kind = TOKEN_BAD;
                return;
            }
            wchar_t c = text_[pos_++];
            if (c == L'\'') {
                if (pos_ < text_.size() && text_[pos_] == L'\'') {
                    pos_++;
                } else {
                    current_.kind = TOKEN_QUOTED;
                    return;
                }
            }
            current_.text.push_back(c);
        }
    }

    const ScriptText &text_;
    size_t pos_;
    Token current_;
};

/* --- values -------------------------------------------------------- */

bool ParseNumber(const ScriptText &text, uint32_t *out)
{
    size_t i = 0;
    unsigned base = 10;
    if (text.size() > 2 && text[0] == L'0' && FoldAscii(text[1]) == L'x') {
        base = 16;
        i = 2;
    }
    if (i >= text.size())
        return false;
    uint64_t value = 0;
    for (; i < text.size(); i++) {
        int digit = HexDigit(text[i]);
        if (digit < 0 || (unsigned)digit >= base)
            return false;
        value = value * base + (unsigned)digit;
        if (value > 0xFFFFFFFFu)
            return false;
    }
    *out = (uint32_t)value;
    return true;
}

bool ParseBytes(const ScriptText &text, std::vector<uint8_t> *out)
{
    if (text.size() % 2 != 0)
        return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        out->push_back((uint8_t)(high * 16 + low));
    }
    return true;
}

bool IsNameToken(const Token &token)
{
    return (token.kind == TOKEN_WORD || token.kind == TOKEN_QUOTED);
}

bool IsKeyword(const Token &token, const wchar_t *keyword)
{
    return token.kind == TOKEN_WORD && EqualsNoCase(token.text, keyword);
}

/* --- grammar ------------------------------------------------------- */

class Parser {
public:
    explicit Parser(const ScriptText &text) : lexer_(text) {}

    bool Blocks(std::vector<ScriptBlock> *blocks)
    {
        while (lexer_.Peek().kind != TOKEN_END) {
            ScriptBlock block;
            if (!Root(lexer_.Next(), &block.root) || lexer_.Next().kind != TOKEN_OPEN ||
                !Entries(1, &block.entries))
                return false;
            blocks->push_back(std::move(block));
        }
        return true;
    }

private:
    static bool Root(const Token &token, ScriptRoot *root)
    {
        static const struct {
            const wchar_t *shortName;
            const wchar_t *longName;
            ScriptRoot root;
        } roots[] = {
            { L"HKCR", L"HKEY_CLASSES_ROOT", ROOT_CLASSES_ROOT },
            { L"HKCU", L"HKEY_CURRENT_USER", ROOT_CURRENT_USER },
            { L"HKLM", L"HKEY_LOCAL_MACHINE", ROOT_LOCAL_MACHINE },
            { L"HKU", L"HKEY_USERS", ROOT_USERS },
            { L"HKPD", L"HKEY_PERFORMANCE_DATA", ROOT_PERFORMANCE_DATA },
            { L"HKCC", L"HKEY_CURRENT_CONFIG", ROOT_CURRENT_CONFIG },
            { L"HKDD", L"HKEY_DYN_DATA", ROOT_DYN_DATA },
        };
        for (const auto &row : roots) {
            if (IsKeyword(token, row.shortName) || IsKeyword(token, row.longName)) {
                *root = row.root;
                return true;
            }
        }
        return false;
    }

    /* The entries of a list up to its closing brace (already past the
       opening one). */
    bool Entries(int depth, std::vector<ScriptEntry> *entries)
    {
        if (depth > SCRIPT_MAX_DEPTH)
            return false;
        for (;;) {
            Token token = lexer_.Next();
            if (token.kind == TOKEN_CLOSE)
                return true;
            ScriptEntry entry;
            if (!Entry(token, depth, &entry))
                return false;
            entries->push_back(std::move(entry));
        }
    }

    bool Entry(Token token, int depth, ScriptEntry *entry)
    {
        if (IsKeyword(token, L"val")) {
            entry->isValue = true;
            token = lexer_.Next();
            if (!IsNameToken(token) || lexer_.Next().kind != TOKEN_EQUALS)
                return false;
            entry->name = token.text;
            return Value(&entry->value);
        }
        for (;; token = lexer_.Next()) {
            if (IsKeyword(token, L"ForceRemove"))
                entry->forceRemove = true;
            else if (IsKeyword(token, L"NoRemove"))
                entry->noRemove = true;
            else if (IsKeyword(token, L"Delete"))
                entry->deleteKey = true;
            else
                break;
        }
        if (!IsNameToken(token) || token.text.empty())
            return false;
        entry->name = token.text;
        if (lexer_.Peek().kind == TOKEN_EQUALS) {
            lexer_.Next();
            if (!Value(&entry->value))
                return false;
        }
        if (lexer_.Peek().kind == TOKEN_OPEN) {
            lexer_.Next();
            return Entries(depth + 1, &entry->children);
        }
        return true;
    }

    bool Value(ScriptValue *value)
    {
        Token type = lexer_.Next();
        Token data = lexer_.Next();
        if (!IsNameToken(data))
            return false;
        if (IsKeyword(type, L"s")) {
            value->type = VALUE_STRING;
            value->text = data.text;
            return true;
        }
        if (IsKeyword(type, L"d")) {
            value->type = VALUE_DWORD;
            return ParseNumber(data.text, &value->number);
        }
        if (IsKeyword(type, L"b")) {
            value->type = VALUE_BINARY;
            return ParseBytes(data.text, &value->bytes);
        }
        return false;
    }

    Lexer lexer_;
};

} // namespace

ScriptStatus SubstituteScript(const ScriptText &text, const ScriptReplacement *table, size_t count,
                              ScriptText *out)
{
    out->clear();
    out->reserve(text.size());
    for (size_t i = 0; i < text.size(); i++) {
        if (text[i] != L'%') {
            out->push_back(text[i]);
            continue;
        }
        size_t end = text.find(L'%', i + 1);
        if (end == ScriptText::npos)
            return SCRIPT_SYNTAX_ERROR;
        size_t length = end - i - 1;
        if (length == 0) {
            out->push_back(L'%');
        } else if (length > SCRIPT_MAX_NAME) {
            return SCRIPT_NAME_TOO_LONG;
        } else {
            size_t row = 0;
            while (row < count && !EqualsNoCase(text.data() + i + 1, length, table[row].name))
                row++;
            if (row == count)
                return SCRIPT_SYNTAX_ERROR;
            out->append(table[row].value);
        }
        i = end;
    }
    return SCRIPT_OK;
}

ScriptStatus ParseScript(const ScriptText &text, std::vector<ScriptBlock> *blocks)
{
    blocks->clear();
    Parser parser(text);
    if (!parser.Blocks(blocks)) {
        blocks->clear();
        return SCRIPT_SYNTAX_ERROR;
    }
    return SCRIPT_OK;
}

bool IsProtectedKeyName(const ScriptText &name)
{
    return EqualsNoCase(name, L"CLSID") || EqualsNoCase(name, L"TYPELIB");
}
