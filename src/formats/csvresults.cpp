#include "csvresults.h"

#include "formats/fieldtext.h"

namespace {

QByteArray Field(const QByteArray &bytes)
{
    const QByteArray text = bytes.isValidUtf8() ? bytes : FieldText(bytes).toUtf8();
    if (!text.contains(',') && !text.contains('"') && !text.contains('\r') && !text.contains('\n'))
        return text;
    QByteArray quoted = text;
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

} // namespace

void CCsvResultsWriter::Open()
{
    if (!std::exchange(m_opened, true))
        m_output("page,line,column,url,target,text,category,code,reported\r\n");
}

void CCsvResultsWriter::LinkTested(const LinkRecord &link)
{
    Open();
    m_output(Field(link.page) + ',' + QByteArray::number(link.line) + ',' +
             QByteArray::number(link.column) + ',' + Field(link.url) + ',' + Field(link.target) +
             ',' + Field(link.text) + ',' + Field(CategoryText(link.category)) + ',' +
             (link.code ? QByteArray::number(*link.code) : QByteArray()) + ',' +
             (link.reported ? "true" : "false") + "\r\n");
}
