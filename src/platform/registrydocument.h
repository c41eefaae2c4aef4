#pragma once

#include <optional>

#include <QByteArray>
#include <QList>

#include "platform/registry.h"

// The settings file as read: every line kept byte for byte, with what it
// means. Changes touch only the lines they concern, so anything the reader
// does not understand (hand edits, damage, other formats) is written back
// verbatim in its place.
//
// The file is a header line followed by blocks: a bracket line naming a key,
//     [HKEY_LOCAL_MACHINE\Software\Kestrine Software\Vantrel\Settings]
// then its values, one a line, "Name"="text" or @="text" for the unnamed
// value. A key that is named only as the parent of another key exists too.
// When a value appears more than once, the last one counts, as it would when
// the lines were applied one after the other.
class RegistryDocument
{
public:
    enum class SetResult
    {
        NoSuchKey,
        Unchanged,
        Changed
    };

    static RegistryDocument Parse(const QByteArray &bytes);
    QByteArray Serialise() const;

    bool HasKey(RegRoot root, const QList<QByteArray> &path) const;
    // Appends a block for a key that does not exist yet. Segments that name
    // existing keys take the spelling those keys already have.
    void AddKey(RegRoot root, const QList<QByteArray> &path);
    std::optional<QByteArray> Value(RegRoot root, const QList<QByteArray> &path,
                                    const QByteArray &name) const;
    SetResult SetValue(RegRoot root, const QList<QByteArray> &path, const QByteArray &name,
                       const QByteArray &text);

private:
    enum class Kind
    {
        Header,
        Key,
        Value,
        Other
    };
    struct Line
    {
        Kind kind = Kind::Other;
        QByteArray raw;
        // Key lines: false when the root is foreign or the path cannot be
        // decoded; the values of such a block belong to no key we know.
        bool known = false;
        RegRoot root = RegRoot::LocalMachine;
        QList<QByteArray> path;
        // Value lines.
        QByteArray name;
        QByteArray text;
    };

    static Line ParseLine(const QByteArray &raw, bool first);
    static Line MakeKeyLine(RegRoot root, const QList<QByteArray> &path);
    static Line MakeValueLine(const QByteArray &name, const QByteArray &text);
    bool IsBlockOf(const Line &line, RegRoot root, const QList<QByteArray> &path) const;
    qsizetype BlockEnd(qsizetype keyLine) const;
    // The value line that counts for name in the key, or -1.
    qsizetype FindValueLine(RegRoot root, const QList<QByteArray> &path,
                            const QByteArray &name) const;
    qsizetype LastBlockOf(RegRoot root, const QList<QByteArray> &path) const;
    QList<QByteArray> Spelled(RegRoot root, const QList<QByteArray> &path) const;

    QList<Line> m_lines;
};
