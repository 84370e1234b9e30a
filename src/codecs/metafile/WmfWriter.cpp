#include "codecs/metafile/WmfWriter.h"

#include "codecs/core/ByteReader.h"
#include "codecs/core/Graphic.h"
#include "codecs/metafile/EmfHeader.h"
#include "codecs/metafile/MetafileRecords.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace tabulonix {

using namespace metafile;

namespace {

const char* const TooLarge = "Cannot write the picture as a Windows metafile";

int16_t Word(double v)
{
    long r = std::lround(v);
    if (r < INT16_MIN || r > INT16_MAX)
        throw EInvalidGraphic(TooLarge);
    return static_cast<int16_t>(r);
}

class WmfBuilder {
  public:
    void Record(uint16_t function, const std::vector<uint16_t>& params,
                const uint8_t* tail = nullptr, size_t tailBytes = 0)
    {
        uint64_t words = 3 + params.size() + (tailBytes + 1) / 2;
        if (words > UINT32_MAX)
            throw EInvalidGraphic(TooLarge);
        ByteWriter w(body);
        w.U32LE(static_cast<uint32_t>(words));
        w.U16LE(function);
        for (uint16_t p : params)
            w.U16LE(p);
        if (tailBytes) {
            w.Bytes(tail, tailBytes);
            if (tailBytes % 2)
                w.U8(0);
        }
        maxRecord = std::max<uint64_t>(maxRecord, words);
    }
    uint16_t NewSlot()
    {
        for (size_t i = 0; i < slots.size(); ++i)
            if (!slots[i]) {
                slots[i] = true;
                return static_cast<uint16_t>(i);
            }
        slots.push_back(true);
        return static_cast<uint16_t>(slots.size() - 1);
    }
    std::vector<uint8_t> body;
    uint64_t maxRecord = 3;
    std::vector<bool> slots;
};

uint16_t U(int16_t v)
{
    return static_cast<uint16_t>(v);
}

} // namespace

uint16_t PlaceableChecksum(const uint8_t* header)
{
    uint16_t sum = 0;
    for (int i = 0; i < 10; ++i)
        sum ^= GetU16LE(header + 2 * i);
    return sum;
}

std::vector<uint8_t> PlaceableHeader(int right, int bottom, int inch)
{
    if (right < INT16_MIN || right > INT16_MAX || bottom < INT16_MIN || bottom > INT16_MAX)
        throw EInvalidGraphic(TooLarge);
    std::vector<uint8_t> out;
    ByteWriter w(out);
    w.U32LE(PlaceableKey);
    w.U16LE(0);
    w.U16LE(0);
    w.U16LE(0);
    w.U16LE(static_cast<uint16_t>(right));
    w.U16LE(static_cast<uint16_t>(bottom));
    w.U16LE(static_cast<uint16_t>(inch));
    w.U32LE(0);
    w.U16LE(PlaceableChecksum(out.data()));
    return out;
}

std::optional<std::vector<uint8_t>> ConvertToWmf(const std::vector<uint8_t>& emf, int unitsX,
                                                 int unitsY)
{
    std::optional<EmfHeader> header = ReadEmfHeader(emf.data(), emf.size());
    if (!header || !header->HasReferenceDevice())
        return std::nullopt;
    int32_t frameL = header->frame.left, frameT = header->frame.top;
    int32_t frameR = header->frame.right, frameB = header->frame.bottom;
    int32_t devX = header->devicePixelsX, devY = header->devicePixelsY;
    int32_t mmX = header->deviceMillimetresX, mmY = header->deviceMillimetresY;
    // Reference pixels of the frame, and the scale from them to the window's units.
    double pxL = frameL * double(devX) / (mmX * 100.0), pxT = frameT * double(devY) / (mmY * 100.0);
    double pxW = (double(frameR) - frameL) * devX / (mmX * 100.0);
    double pxH = (double(frameB) - frameT) * devY / (mmY * 100.0);
    double sx = pxW > 0 ? unitsX / pxW : 1.0, sy = pxH > 0 ? unitsY / pxH : 1.0;
    auto X = [&](int32_t v) { return Word((v - pxL) * sx); };
    auto Y = [&](int32_t v) { return Word((v - pxT) * sy); };
    auto W = [&](int32_t v) { return Word(v * sx); };

    WmfBuilder b;
    b.Record(META_SETWINDOWORG, {0, 0});
    b.Record(META_SETWINDOWEXT, {U(Word(unitsY)), U(Word(unitsX))});
    std::map<uint32_t, uint16_t> handles;

    ByteReader r(emf.data(), emf.size(), [] { throw EInvalidGraphic("Metafile is not valid"); });
    bool ended = false;
    while (!ended && r.Remaining() >= 8) {
        size_t start = r.Position();
        uint32_t type = r.U32LE(), size = r.U32LE();
        if (size < 8 || size > r.Remaining() + 8)
            return std::nullopt;
        ByteReader rec = ByteReader(emf.data() + start, size,
                                    [] { throw EInvalidGraphic("Metafile is not valid"); });
        rec.Skip(8);
        r.Seek(start + size);
        switch (type) {
        case EMR_HEADER:
            break;
        case EMR_EOF:
            ended = true;
            break;
        case EMR_SETBKCOLOR:
        case EMR_SETTEXTCOLOR: {
            uint32_t c = rec.U32LE();
            b.Record(type == EMR_SETBKCOLOR ? META_SETBKCOLOR : META_SETTEXTCOLOR,
                     {static_cast<uint16_t>(c), static_cast<uint16_t>(c >> 16)});
            break;
        }
        case EMR_SETSTRETCHBLTMODE:
        case EMR_SETBKMODE:
            b.Record(type == EMR_SETBKMODE ? META_SETBKMODE : META_SETSTRETCHBLTMODE,
                     {static_cast<uint16_t>(rec.U32LE())});
            break;
        case EMR_CREATEPEN: {
            uint32_t ih = rec.U32LE(), style = rec.U32LE();
            int32_t width = rec.S32LE();
            rec.Skip(4);
            uint32_t color = rec.U32LE();
            uint16_t slot = b.NewSlot();
            handles[ih] = slot;
            b.Record(META_CREATEPENINDIRECT,
                     {static_cast<uint16_t>(style), U(W(width)), 0, static_cast<uint16_t>(color),
                      static_cast<uint16_t>(color >> 16)});
            break;
        }
        case EMR_CREATEBRUSHINDIRECT: {
            uint32_t ih = rec.U32LE(), style = rec.U32LE(), color = rec.U32LE(),
                     hatch = rec.U32LE();
            uint16_t slot = b.NewSlot();
            handles[ih] = slot;
            b.Record(META_CREATEBRUSHINDIRECT,
                     {static_cast<uint16_t>(style), static_cast<uint16_t>(color),
                      static_cast<uint16_t>(color >> 16), static_cast<uint16_t>(hatch)});
            break;
        }
        case EMR_SELECTOBJECT: {
            uint32_t ih = rec.U32LE();
            if (ih & StockObject)
                break; // the Windows format has no stock objects; the next selection replaces it
            auto it = handles.find(ih);
            if (it == handles.end())
                return std::nullopt;
            b.Record(META_SELECTOBJECT, {it->second});
            break;
        }
        case EMR_DELETEOBJECT: {
            auto it = handles.find(rec.U32LE());
            if (it == handles.end())
                return std::nullopt;
            b.Record(META_DELETEOBJECT, {it->second});
            b.slots[it->second] = false;
            handles.erase(it);
            break;
        }
        case EMR_RECTANGLE: {
            int32_t l = rec.S32LE(), t = rec.S32LE(), rr = rec.S32LE(), bb = rec.S32LE();
            b.Record(META_RECTANGLE, {U(Y(bb)), U(X(rr)), U(Y(t)), U(X(l))});
            break;
        }
        case EMR_STRETCHDIBITS: {
            rec.Skip(16);
            int32_t xDest = rec.S32LE(), yDest = rec.S32LE(), xSrc = rec.S32LE(),
                    ySrc = rec.S32LE();
            int32_t cxSrc = rec.S32LE(), cySrc = rec.S32LE();
            uint32_t offBmi = rec.U32LE(), cbBmi = rec.U32LE(), offBits = rec.U32LE(),
                     cbBits = rec.U32LE();
            uint32_t usage = rec.U32LE(), rop = rec.U32LE();
            int32_t cxDest = rec.S32LE(), cyDest = rec.S32LE();
            if (offBmi > size || cbBmi > size - offBmi || offBits > size ||
                cbBits > size - offBits || offBits != offBmi + cbBmi)
                return std::nullopt;
            const uint8_t* dib = emf.data() + start + offBmi;
            int16_t x0 = X(xDest), y0 = Y(yDest);
            int16_t x1 = X(xDest + cxDest), y1 = Y(yDest + cyDest);
            b.Record(META_STRETCHDIB,
                     {static_cast<uint16_t>(rop), static_cast<uint16_t>(rop >> 16),
                      static_cast<uint16_t>(usage), U(Word(cySrc)), U(Word(cxSrc)), U(Word(ySrc)),
                      U(Word(xSrc)), U(Word(double(y1) - y0)), U(Word(double(x1) - x0)), U(y0),
                      U(x0)},
                     dib, static_cast<size_t>(cbBmi) + cbBits);
            break;
        }
        default:
            return std::nullopt;
        }
    }
    b.Record(META_EOF, {});

    std::vector<uint8_t> out;
    ByteWriter w(out);
    uint64_t totalWords = 9 + b.body.size() / 2;
    if (totalWords > UINT32_MAX)
        throw EInvalidGraphic(TooLarge);
    w.U16LE(1); // in memory
    w.U16LE(9); // header words
    w.U16LE(0x0300);
    w.U32LE(static_cast<uint32_t>(totalWords));
    w.U16LE(static_cast<uint16_t>(b.slots.size()));
    w.U32LE(static_cast<uint32_t>(b.maxRecord));
    w.U16LE(0);
    w.Bytes(b.body.data(), b.body.size());
    return out;
}

} // namespace tabulonix
