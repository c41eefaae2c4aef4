#include "registrydocument.h"

#include "platform/registrytext.h"

namespace {

constexpr QByteArrayView kHeader = "Vantrel Settings 1";
constexpr QByteArrayView kHeaderPrefix = "Vantrel Settings";
constexpr QByteArrayView kLocalMachine = "HKEY_LOCAL_MACHINE";

bool PathStartsWith(const QList<QByteArray> &path, const QList<QByteArray> &prefix)
{
    if (path.size() < prefix.size())
        return false;
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        if (!EqualsIgnoringAsciiCase(path[i], prefix[i]))
            return false;
    }
    return true;
}

bool OnlyBlanks(QByteArrayView text)
{
    for (const char c : text) {
        if (c != ' ' && c != '\t')
            return false;
    }
    return true;
}

} // namespace

RegistryDocument RegistryDocument::Parse(const QByteArray &bytes)
{
    RegistryDocument document;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        Line line = ParseLine(bytes.sliced(start, end - start), document.m_lines.isEmpty());
        // Runs of lines we do not understand are kept as one entry: a damaged
        // file of many short lines then costs little memory.
        if (line.kind == Kind::Other && !document.m_lines.isEmpty() &&
            document.m_lines.last().kind == Kind::Other) {
            document.m_lines.last().raw.append('\n').append(line.raw);
        } else {
            document.m_lines.append(std::move(line));
        }
        start = end + 1;
    }
    return document;
}

QByteArray RegistryDocument::Serialise() const
{
    QByteArray out;
    if (m_lines.isEmpty() || m_lines.first().kind != Kind::Header)
        out.append(kHeader).append('\n');
    for (const Line &line : m_lines)
        out.append(line.raw).append('\n');
    return out;
}

RegistryDocument::Line RegistryDocument::ParseLine(const QByteArray &raw, bool first)
{
    Line line;
    line.raw = raw;
    QByteArrayView text = raw;
    if (text.endsWith('\r'))
        text.chop(1);

    if (first && text.startsWith(kHeaderPrefix)) {
        line.kind = Kind::Header;
        return line;
    }
    if (text.startsWith('[')) {
        // Every bracket line starts a block, even one we cannot read, so that
        // the values below it never slip into the block before.
        line.kind = Kind::Key;
        if (text.size() < 2 || !text.endsWith(']'))
            return line;
        const QByteArrayView inner = text.sliced(1, text.size() - 2);
        const qsizetype slash = inner.indexOf('\\');
        const QByteArrayView rootName = slash < 0 ? inner : inner.first(slash);
        if (!EqualsIgnoringAsciiCase(rootName, kLocalMachine))
            return line;
        const QByteArrayView rest = slash < 0 ? QByteArrayView() : inner.sliced(slash + 1);
        for (const QByteArray &segment : SplitKeyPath(rest)) {
            std::optional<QByteArray> decoded = DecodeKeySegment(segment);
            if (!decoded) {
                line.path.clear();
                return line;
            }
            line.path.append(*decoded);
        }
        line.known = true;
        return line;
    }
    if (text.startsWith('@') || text.startsWith('"')) {
        qsizetype pos = 1;
        std::optional<QByteArray> name;
        if (text.startsWith('@')) {
            name = QByteArray();
        } else {
            pos = 0;
            name = UnquoteRegText(text, pos);
        }
        if (!name || pos >= text.size() || text[pos] != '=')
            return line;
        ++pos;
        std::optional<QByteArray> value = UnquoteRegText(text, pos);
        if (!value || !OnlyBlanks(text.sliced(pos)))
            return line;
        line.kind = Kind::Value;
        line.name = *name;
        line.text = *value;
    }
    return line;
}

RegistryDocument::Line RegistryDocument::MakeKeyLine(RegRoot root, const QList<QByteArray> &path)
{
    Line line;
    line.kind = Kind::Key;
    line.known = true;
    line.root = root;
    line.path = path;
    line.raw.append('[').append(kLocalMachine);
    for (const QByteArray &segment : path)
        line.raw.append('\\').append(EncodeKeySegment(segment));
    line.raw.append(']');
    return line;
}

RegistryDocument::Line RegistryDocument::MakeValueLine(const QByteArray &name,
                                                       const QByteArray &text)
{
    Line line;
    line.kind = Kind::Value;
    line.name = name;
    line.text = text;
    line.raw = name.isEmpty() ? QByteArray("@") : QuoteRegText(name);
    line.raw.append('=').append(QuoteRegText(text));
    return line;
}

bool RegistryDocument::IsBlockOf(const Line &line, RegRoot root,
                                 const QList<QByteArray> &path) const
{
    return line.kind == Kind::Key && line.known && line.root == root &&
           line.path.size() == path.size() && PathStartsWith(line.path, path);
}

qsizetype RegistryDocument::BlockEnd(qsizetype keyLine) const
{
    for (qsizetype i = keyLine + 1; i < m_lines.size(); ++i) {
        if (m_lines[i].kind == Kind::Key)
            return i;
    }
    return m_lines.size();
}

bool RegistryDocument::HasKey(RegRoot root, const QList<QByteArray> &path) const
{
    if (path.isEmpty())
        return true;
    for (const Line &line : m_lines) {
        if (line.kind == Kind::Key && line.known && line.root == root &&
            PathStartsWith(line.path, path))
            return true;
    }
    return false;
}

QList<QByteArray> RegistryDocument::Spelled(RegRoot root, const QList<QByteArray> &path) const
{
    QList<QByteArray> spelled = path;
    for (qsizetype depth = 0; depth < path.size(); ++depth) {
        const QList<QByteArray> prefix = path.first(depth + 1);
        for (const Line &line : m_lines) {
            if (line.kind == Kind::Key && line.known && line.root == root &&
                PathStartsWith(line.path, prefix)) {
                spelled[depth] = line.path[depth];
                break;
            }
        }
    }
    return spelled;
}

void RegistryDocument::AddKey(RegRoot root, const QList<QByteArray> &path)
{
    if (m_lines.isEmpty()) {
        Line header;
        header.kind = Kind::Header;
        header.raw = kHeader.toByteArray();
        m_lines.append(header);
    }
    const QByteArray &last = m_lines.last().raw;
    if (!last.isEmpty() && !last.endsWith('\n'))
        m_lines.append(Line());
    m_lines.append(MakeKeyLine(root, Spelled(root, path)));
}

qsizetype RegistryDocument::FindValueLine(RegRoot root, const QList<QByteArray> &path,
                                          const QByteArray &name) const
{
    qsizetype found = -1;
    bool inBlock = false;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        const Line &line = m_lines[i];
        if (line.kind == Kind::Key)
            inBlock = IsBlockOf(line, root, path);
        else if (inBlock && line.kind == Kind::Value && EqualsIgnoringAsciiCase(line.name, name))
            found = i;
    }
    return found;
}

qsizetype RegistryDocument::LastBlockOf(RegRoot root, const QList<QByteArray> &path) const
{
    for (qsizetype i = m_lines.size() - 1; i >= 0; --i) {
        if (IsBlockOf(m_lines[i], root, path))
            return i;
    }
    return -1;
}

std::optional<QByteArray> RegistryDocument::Value(RegRoot root, const QList<QByteArray> &path,
                                                  const QByteArray &name) const
{
    const qsizetype found = FindValueLine(root, path, name);
    if (found < 0)
        return std::nullopt;
    return m_lines[found].text;
}

RegistryDocument::SetResult RegistryDocument::SetValue(RegRoot root, const QList<QByteArray> &path,
                                                       const QByteArray &name,
                                                       const QByteArray &text)
{
    const qsizetype found = FindValueLine(root, path, name);
    if (found >= 0) {
        Line &line = m_lines[found];
        if (line.text == text)
            return SetResult::Unchanged;
        const bool carriageReturn = line.raw.endsWith('\r');
        line = MakeValueLine(line.name, text);
        if (carriageReturn)
            line.raw.append('\r');
        return SetResult::Changed;
    }
    qsizetype block = LastBlockOf(root, path);
    if (block < 0) {
        // A key that exists only as the parent of another has no block yet.
        if (!HasKey(root, path))
            return SetResult::NoSuchKey;
        AddKey(root, path);
        block = m_lines.size() - 1;
    }
    qsizetype at = block + 1;
    const qsizetype end = BlockEnd(block);
    for (qsizetype i = block + 1; i < end; ++i) {
        if (m_lines[i].kind == Kind::Value)
            at = i + 1;
    }
    m_lines.insert(at, MakeValueLine(name, text));
    return SetResult::Changed;
}
