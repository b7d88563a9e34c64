#pragma once
#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Decodes UTF-8 text that arrives in pieces (reads of a pipe): a character cut
// between two pieces is decoded whole, and the text comes out the same however it
// was cut. Each invalid sequence (its longest valid-looking start) becomes one
// U+FFFD. Qt's decoders are not used: the stateful one drops the byte after an
// invalid sequence cut at the end of a piece, and how many bytes the stateless one
// replaces depends on what follows them.
class Utf8Pieces
{
public:
    QString Decode(QByteArrayView piece);

private:
    QByteArray m_carry; // the start of a character still waiting for its other bytes
};
