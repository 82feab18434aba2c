#include "monitor/math_items.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>

namespace tunalyx {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// Times are whole milliseconds read as seconds: a step of 0.1 s may come out a hair short.
constexpr double kTimeSlack = 1e-9;
// Deep enough for any expression a person writes, shallow enough that no nesting exhausts the
// stack or makes a single sample's value take seconds.
constexpr int kDeepest = 16;
constexpr std::size_t kLongest = 1000;

enum class Op { Number, Item, Math, Neg, Add, Sub, Mul, Div, Pow, Min, Max, Abs, Smooth, Back, At };

struct Node {
    Op op = Op::Number;
    double number = 0;       // the constant, the seconds of smooth and @
    int back = 0;            // samples back
    std::vector<int> args;   // operand nodes
    std::vector<int> items;  // the items a name may mean, the one to read first first
    int math = -1;           // an earlier math item
};

std::string lower(std::string_view text) {
    std::string s(text);
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string trimmedLower(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return lower(text.substr(first, text.find_last_not_of(' ') + 1 - first));
}

// Items named `name`: the Advanced one first, then the others in item order.
std::vector<int> itemsNamed(std::string_view name, const TraceItems& items) {
    const std::string wanted = trimmedLower(name);
    std::vector<int> found;
    if (wanted.empty() || wanted == "***") return found;
    for (int i = 0; i < kTraceItemCount; ++i)
        if (trimmedLower(items.TraceName[static_cast<std::size_t>(i)]) == wanted)
            found.push_back(i);
    std::stable_partition(found.begin(), found.end(), [&](int i) {
        return items.TraceGroup[static_cast<std::size_t>(i)] == kGroupAdvanced;
    });
    return found;
}

std::optional<int> itemLabelled(std::string_view label, const TraceItems& items) {
    const std::string wanted = trimmedLower(label);
    for (int i = 0; i < kTraceItemCount; ++i)
        if (items.TraceName[static_cast<std::size_t>(i)] != "***" &&
            trimmedLower(items.label(i)) == wanted)
            return i;
    return std::nullopt;
}

struct ParseError {
    std::string text;
};

class Parser {
public:
    Parser(std::string_view text, const TraceItems& items, const std::vector<std::string>& earlier)
        : m_text(text), m_items(items), m_earlier(earlier) {}

    // The root node; throws ParseError.
    int parse() {
        if (m_text.size() > kLongest)
            fail("Expression longer than " + std::to_string(kLongest) + " characters", 0);
        const int root = expression();
        skip();
        if (m_at < m_text.size()) {
            if (m_text[m_at] == ')') fail("Unmatched )", m_at);
            fail("Unexpected \"" + std::string(1, m_text[m_at]) + "\"", m_at);
        }
        return root;
    }

    std::vector<Node> nodes;

private:
    [[noreturn]] static void fail(const std::string& what, std::size_t at) {
        throw ParseError{what + " at " + std::to_string(at + 1)};
    }

    void skip() {
        while (m_at < m_text.size() && (m_text[m_at] == ' ' || m_text[m_at] == '\t'))
            ++m_at;
    }
    bool take(char c) {
        skip();
        if (m_at < m_text.size() && m_text[m_at] == c) {
            ++m_at;
            return true;
        }
        return false;
    }
    void expect(char c) {
        if (!take(c)) fail(std::string("Missing ") + c, m_at);
    }

    int add(Node node) {
        nodes.push_back(std::move(node));
        return static_cast<int>(nodes.size()) - 1;
    }
    int binary(Op op, int a, int b) {
        Node n;
        n.op = op;
        n.args = {a, b};
        return add(std::move(n));
    }

    struct Depth {
        explicit Depth(Parser& p) : parser(p) {
            if (++parser.m_depth > kDeepest) fail("Nested too deeply", parser.m_at);
        }
        ~Depth() { --parser.m_depth; }
        Parser& parser;
    };

    int expression() {
        const Depth depth(*this);
        int left = term();
        for (;;) {
            if (take('+'))
                left = binary(Op::Add, left, term());
            else if (take('-'))
                left = binary(Op::Sub, left, term());
            else
                return left;
        }
    }

    int term() {
        int left = unary();
        for (;;) {
            if (take('*'))
                left = binary(Op::Mul, left, unary());
            else if (take('/'))
                left = binary(Op::Div, left, unary());
            else
                return left;
        }
    }

    // -2^2 is -4, as written on paper.
    int unary() {
        if (take('-')) {
            const Depth depth(*this);
            Node n;
            n.op = Op::Neg;
            n.args = {unary()};
            return add(std::move(n));
        }
        if (take('+')) return unary();
        return power();
    }

    int power() {
        const int base = postfix();
        if (!take('^')) return base;
        const Depth depth(*this);
        return binary(Op::Pow, base, unary());
    }

    int postfix() {
        int node = primary();
        for (;;) {
            if (take('[')) {
                if (!take('-')) fail("Expected -n samples back", m_at);
                skip();
                const std::size_t at = m_at;
                const double n = plainNumber();
                if (n != std::floor(n) || n > 1e6) fail("Expected a whole number of samples", at);
                expect(']');
                Node back;
                back.op = Op::Back;
                back.back = static_cast<int>(n);
                back.args = {node};
                node = add(std::move(back));
            } else if (take('@')) {
                if (!take('-')) fail("Expected a time back such as -0.5s", m_at);
                Node at;
                at.op = Op::At;
                at.number = seconds();
                at.args = {node};
                node = add(std::move(at));
            } else {
                return node;
            }
        }
    }

    // A number without sign: digits with a "." decimal point.
    double plainNumber() {
        skip();
        const std::size_t start = m_at;
        while (m_at < m_text.size() &&
               (std::isdigit(static_cast<unsigned char>(m_text[m_at])) || m_text[m_at] == '.'))
            ++m_at;
        double v = 0;
        const char* first = m_text.data() + start;
        const char* last = m_text.data() + m_at;
        const auto [end, ec] = std::from_chars(first, last, v);
        if (start == m_at || ec != std::errc() || end != last || !std::isfinite(v))
            fail("Expected a number", start);
        return v;
    }

    // A time such as 0.5s.
    double seconds() {
        skip();
        const std::size_t start = m_at;
        if (start >= m_text.size() ||
            !(std::isdigit(static_cast<unsigned char>(m_text[start])) || m_text[start] == '.'))
            fail("Expected a time such as 0.5s", start);
        const double v = plainNumber();
        if (m_at >= m_text.size() || (m_text[m_at] != 's' && m_text[m_at] != 'S'))
            fail("Expected s after the time", m_at);
        ++m_at;
        return v;
    }

    static bool nameStart(char c) {
        return std::isalpha(static_cast<unsigned char>(c)) || c == '_';
    }
    static bool nameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

    int primary() {
        skip();
        if (m_at >= m_text.size()) fail("Missing value", m_at);
        const char c = m_text[m_at];
        if (c == '(') {
            ++m_at;
            const int inner = expression();
            expect(')');
            return inner;
        }
        if (std::isdigit(static_cast<unsigned char>(c)) || c == '.') {
            Node n;
            n.number = plainNumber();
            return add(std::move(n));
        }
        if (c == '"') {
            const std::size_t start = m_at++;
            const std::size_t close = m_text.find('"', m_at);
            if (close == std::string_view::npos) fail("Missing \"", m_text.size());
            m_at = close + 1;
            return name(m_text.substr(start + 1, close - start - 1), start, true);
        }
        if (nameStart(c)) {
            const std::size_t start = m_at;
            while (m_at < m_text.size() && nameChar(m_text[m_at]))
                ++m_at;
            const std::string_view word = m_text.substr(start, m_at - start);
            if (take('(')) return function(word, start);
            return name(word, start, false);
        }
        fail("Unexpected \"" + std::string(1, c) + "\"", m_at);
    }

    int function(std::string_view word, std::size_t start) {
        const Depth depth(*this);
        const std::string f = lower(word);
        Node n;
        if (f == "min" || f == "max") {
            n.op = f == "min" ? Op::Min : Op::Max;
            do
                n.args.push_back(expression());
            while (take(','));
        } else if (f == "abs") {
            n.op = Op::Abs;
            n.args = {expression()};
        } else if (f == "smooth") {
            n.op = Op::Smooth;
            n.args = {expression()};
            if (!take(',')) fail("Missing , and the time to smooth over", m_at);
            n.number = seconds();
        } else {
            fail("Unknown function \"" + std::string(word) + "\"", start);
        }
        expect(')');
        return add(std::move(n));
    }

    int name(std::string_view text, std::size_t start, bool quoted) {
        Node n;
        n.op = Op::Item;
        if (quoted)
            if (const auto item = itemLabelled(text, m_items)) n.items = {*item};
        if (n.items.empty()) n.items = itemsNamed(text, m_items);
        if (n.items.empty()) {
            const std::string wanted = trimmedLower(text);
            for (std::size_t k = 0; k < m_earlier.size(); ++k)
                if (!wanted.empty() && trimmedLower(m_earlier[k]) == wanted) {
                    n.op = Op::Math;
                    n.math = static_cast<int>(k);
                }
            if (n.math < 0) fail("Unknown item \"" + std::string(text) + "\"", start);
        }
        return add(std::move(n));
    }

    std::string_view m_text;
    const TraceItems& m_items;
    const std::vector<std::string>& m_earlier;
    std::size_t m_at = 0;
    int m_depth = 0;
};

double finiteOrNaN(double v) {
    return std::isfinite(v) ? v : kNaN;
}

double divide(double a, double b) {
    return b == 0 ? kNaN : a / b;
}

// The first of samples 0..s whose time is past `limit`; s + 1 when none is.
int firstAfter(const SampleSource& src, int s, double limit) {
    int lo = 0;
    int hi = s + 1;
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (src.timeSeconds(mid) > limit)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

}  // namespace

struct MathItems::Program {
    std::vector<Node> nodes;
    int root = 0;
};

namespace {

class Evaluator {
public:
    Evaluator(const std::vector<MathItems::Program>& programs, const SampleSource& src)
        : m_programs(programs), m_src(src) {}

    double item(int k, int s) const {
        const MathItems::Program& p = m_programs[static_cast<std::size_t>(k)];
        return finiteOrNaN(at(p, p.root, s));
    }

    bool available(int k) const {
        const MathItems::Program& p = m_programs[static_cast<std::size_t>(k)];
        for (const Node& n : p.nodes) {
            if (n.op == Op::Item && resolve(n) < 0) return false;
            if (n.op == Op::Math && !available(n.math)) return false;
        }
        return true;
    }

    std::vector<double> column(int k) const {
        const MathItems::Program& p = m_programs[static_cast<std::size_t>(k)];
        std::vector<double> c = column(p, p.root);
        for (double& v : c)
            v = finiteOrNaN(v);
        return c;
    }

private:
    int resolve(const Node& n) const {
        for (int item : n.items)
            if (m_src.hasItem(item)) return item;
        return -1;
    }

    double at(const MathItems::Program& p, int node, int s) const {
        const Node& n = p.nodes[static_cast<std::size_t>(node)];
        const auto arg = [&](std::size_t i, int sample) { return at(p, n.args[i], sample); };
        switch (n.op) {
            case Op::Number:
                return n.number;
            case Op::Item: {
                const int item = resolve(n);
                return item < 0 ? kNaN : m_src.value(item, s);
            }
            case Op::Math:
                return item(n.math, s);
            case Op::Neg:
                return -arg(0, s);
            case Op::Add:
                return arg(0, s) + arg(1, s);
            case Op::Sub:
                return arg(0, s) - arg(1, s);
            case Op::Mul:
                return arg(0, s) * arg(1, s);
            case Op::Div:
                return divide(arg(0, s), arg(1, s));
            case Op::Pow:
                return std::pow(arg(0, s), arg(1, s));
            case Op::Abs:
                return std::fabs(arg(0, s));
            case Op::Min:
            case Op::Max: {
                double v = arg(0, s);
                for (std::size_t i = 1; i < n.args.size(); ++i) {
                    const double w = arg(i, s);
                    if (std::isnan(w) || std::isnan(v))
                        v = kNaN;
                    else
                        v = n.op == Op::Min ? std::min(v, w) : std::max(v, w);
                }
                return v;
            }
            case Op::Back:
                return arg(0, std::max(0, s - n.back));
            case Op::At: {
                const int after =
                    firstAfter(m_src, s, m_src.timeSeconds(s) - n.number + kTimeSlack);
                return arg(0, std::max(0, after - 1));
            }
            case Op::Smooth: {
                const int from = firstAfter(m_src, s, m_src.timeSeconds(s) - n.number + kTimeSlack);
                double sum = 0;
                for (int j = std::min(from, s); j <= s; ++j)
                    sum += arg(0, j);
                return sum / (s - std::min(from, s) + 1);
            }
        }
        return kNaN;
    }

    std::vector<double> column(const MathItems::Program& p, int node) const {
        const Node& n = p.nodes[static_cast<std::size_t>(node)];
        const int count = m_src.sampleCount();
        const auto size = static_cast<std::size_t>(std::max(count, 0));
        const auto arg = [&](std::size_t i) { return column(p, n.args[i]); };
        const auto combine = [&](auto f) {
            std::vector<double> a = arg(0);
            for (std::size_t i = 1; i < n.args.size(); ++i) {
                const std::vector<double> b = arg(i);
                for (std::size_t s = 0; s < size; ++s)
                    a[s] = f(a[s], b[s]);
            }
            return a;
        };
        const auto each = [&](auto f) {
            std::vector<double> a = arg(0);
            for (double& v : a)
                v = f(v);
            return a;
        };
        switch (n.op) {
            case Op::Number:
                return std::vector<double>(size, n.number);
            case Op::Item: {
                const int item = resolve(n);
                std::vector<double> c(size, kNaN);
                if (item >= 0)
                    for (int s = 0; s < count; ++s)
                        c[static_cast<std::size_t>(s)] = m_src.value(item, s);
                return c;
            }
            case Op::Math:
                return column(n.math);
            case Op::Neg:
                return each([](double v) { return -v; });
            case Op::Abs:
                return each([](double v) { return std::fabs(v); });
            case Op::Add:
                return combine([](double a, double b) { return a + b; });
            case Op::Sub:
                return combine([](double a, double b) { return a - b; });
            case Op::Mul:
                return combine([](double a, double b) { return a * b; });
            case Op::Div:
                return combine(divide);
            case Op::Pow:
                return combine([](double a, double b) { return std::pow(a, b); });
            case Op::Min:
            case Op::Max: {
                const bool min = n.op == Op::Min;
                return combine([min](double a, double b) {
                    if (std::isnan(a) || std::isnan(b)) return kNaN;
                    return min ? std::min(a, b) : std::max(a, b);
                });
            }
            case Op::Back: {
                const std::vector<double> a = arg(0);
                std::vector<double> c(size);
                for (std::size_t s = 0; s < size; ++s)
                    c[s] = a[s >= static_cast<std::size_t>(n.back) ? s - n.back : 0];
                return c;
            }
            case Op::At: {
                const std::vector<double> a = arg(0);
                std::vector<double> c(size);
                int j = 0;
                for (int s = 0; s < count; ++s) {
                    const double limit = m_src.timeSeconds(s) - n.number + kTimeSlack;
                    while (j < s && m_src.timeSeconds(j + 1) <= limit)
                        ++j;
                    c[static_cast<std::size_t>(s)] = a[static_cast<std::size_t>(j)];
                }
                return c;
            }
            case Op::Smooth:
                return smoothed(arg(0), n.number);
        }
        return std::vector<double>(size, kNaN);
    }

    // The running window: a sum of the finite values in it and a count of the others, so that one
    // NaN spoils only the windows it is in.
    std::vector<double> smoothed(const std::vector<double>& a, double window) const {
        std::vector<double> c(a.size());
        double sum = 0;
        int bad = 0;
        std::size_t from = 0;
        for (std::size_t s = 0; s < a.size(); ++s) {
            if (std::isfinite(a[s]))
                sum += a[s];
            else
                ++bad;
            const double limit = m_src.timeSeconds(static_cast<int>(s)) - window + kTimeSlack;
            while (from < s && !(m_src.timeSeconds(static_cast<int>(from)) > limit)) {
                if (std::isfinite(a[from]))
                    sum -= a[from];
                else
                    --bad;
                ++from;
            }
            c[s] = bad > 0 ? kNaN : sum / static_cast<double>(s - from + 1);
        }
        return c;
    }

    const std::vector<MathItems::Program>& m_programs;
    const SampleSource& m_src;
};

}  // namespace

MathItems::MathItems(std::vector<MathDefinition> definitions, std::vector<Program> programs)
    : m_definitions(std::move(definitions)), m_programs(std::move(programs)) {}

MathItems::~MathItems() = default;

std::shared_ptr<const MathItems> MathItems::compile(const std::vector<MathDefinition>& definitions,
                                                    const TraceItems& items, std::string* error) {
    std::vector<std::string> names;
    std::vector<Program> programs;
    const auto refuse = [&](const MathDefinition& d, const std::string& why) {
        if (error) *error = "Math item \"" + d.name + "\": " + why;
        return nullptr;
    };
    if (definitions.size() > static_cast<std::size_t>(kMaxMathItems)) {
        if (error) *error = "No more than " + std::to_string(kMaxMathItems) + " math items";
        return nullptr;
    }
    for (const MathDefinition& d : definitions) {
        if (std::string why = mathNameError(d.name, items, names); !why.empty())
            return refuse(d, why);
        Parser parser(d.expression, items, names);
        try {
            const int root = parser.parse();
            programs.push_back({std::move(parser.nodes), root});
        } catch (const ParseError& e) {
            return refuse(d, e.text);
        }
        names.push_back(d.name);
    }
    if (error) error->clear();
    return std::make_shared<const MathItems>(definitions, std::move(programs));
}

std::string MathItems::name(int k) const {
    return k >= 0 && k < count() ? m_definitions[static_cast<std::size_t>(k)].name : std::string();
}

double MathItems::value(const SampleSource& base, int k, int s) const {
    if (k < 0 || k >= count() || s < 0 || s >= base.sampleCount()) return kNaN;
    return Evaluator(m_programs, base).item(k, s);
}

bool MathItems::available(const SampleSource& base, int k) const {
    return k >= 0 && k < count() && Evaluator(m_programs, base).available(k);
}

std::vector<double> MathItems::evaluateAll(const SampleSource& base, int k) const {
    if (k < 0 || k >= count())
        return std::vector<double>(static_cast<std::size_t>(std::max(base.sampleCount(), 0)), kNaN);
    return Evaluator(m_programs, base).column(k);
}

std::string mathExpressionError(std::string_view expression, const TraceItems& items,
                                const std::vector<std::string>& earlierNames) {
    try {
        Parser(expression, items, earlierNames).parse();
    } catch (const ParseError& e) {
        return e.text;
    }
    return {};
}

std::string mathNameError(std::string_view name, const TraceItems& items,
                          const std::vector<std::string>& earlierNames) {
    if (trimmedLower(name).empty()) return "The name is missing";
    if (name.find_first_of("\"\t\r\n") != std::string_view::npos)
        return "A name cannot hold a quote or a tab";
    if (!itemsNamed(name, items).empty() || itemLabelled(name, items))
        return "\"" + std::string(name) + "\" is the name of a logged item";
    for (const std::string& earlier : earlierNames)
        if (trimmedLower(earlier) == trimmedLower(name))
            return "\"" + std::string(name) + "\" is named twice";
    return {};
}

}  // namespace tunalyx
