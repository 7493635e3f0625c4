#include "sstwriter.h"

#include "biffstream.h"

#include <algorithm>

namespace {
// Record identifiers of the shared string table.
enum : quint16 {
    recContinue = 0x003C,
    recSst = 0x00FC,
    recExtSst = 0x00FF,
};
}

SstWriter::SstWriter(BiffStream& stream)
    : st(stream)
{ }

void SstWriter::write(const QStringList& strings, quint32 total)
{
    lengthAt = st.begin(recSst);
    st.u32(total);
    st.u32(quint32(strings.size()));
    // EXTSST indexes every bucketSize-th string, at most 128 buckets.
    const int bucketSize = std::max(8, (strings.size() + 127) / 128);
    QVector<QPair<quint32, quint16>> buckets;
    for (int i = 0; i < strings.size(); ++i)
        add(strings.at(i), i % bucketSize == 0 ? &buckets : nullptr);
    st.end(lengthAt);

    const int at = st.begin(recExtSst);
    st.u16(quint16(bucketSize));
    for (const auto& bucket : buckets) {
        st.u32(bucket.first);
        st.u16(bucket.second);
        st.u16(0);
    }
    st.end(at);
}

int SstWriter::room() const
{
    return BiffStream::maxRecordData - (st.size() - lengthAt - 2);
}

void SstWriter::nextRecord()
{
    st.end(lengthAt);
    lengthAt = st.begin(recContinue);
}

void SstWriter::add(const QString& s, QVector<QPair<quint32, quint16>>* buckets)
{
    const bool compressed = BiffStream::fitsLatin1(s);
    const int charSize = compressed ? 1 : 2;
    // The length and option byte stay together with at least one character.
    if (room() < 3 + charSize)
        nextRecord();
    if (buckets) {
        // Stream position of the string and its offset from its record's header.
        buckets->append({ quint32(st.size()), quint16(st.size() - lengthAt + 2) });
    }
    st.u16(quint16(s.size()));
    st.u8(compressed ? 0x00 : 0x01);
    const QByteArray chars = BiffStream::encodeChars(s, compressed);
    int done = 0;
    while (done < chars.size()) {
        const int take = std::min<int>(chars.size() - done, room() / charSize * charSize);
        st.bytes(chars.mid(done, take));
        done += take;
        if (done < chars.size()) {
            nextRecord();
            st.u8(compressed ? 0x00 : 0x01);
        }
    }
}
