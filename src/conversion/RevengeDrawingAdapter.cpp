#include "RevengeDrawingAdapter.h"

#include "WPGPaintInterface.h"

#include <cstring>
#include <string_view>

namespace {

constexpr std::string_view RevengePrefix = "librevenge:";
constexpr std::string_view ContractPrefix = "libwpg:";
constexpr const char *BinaryDataKey = "office:binary-data";

std::string contractKey(const char *key)
{
    const std::string_view name(key);
    if (name.substr(0, RevengePrefix.size()) == RevengePrefix)
        return std::string(ContractPrefix) + std::string(name.substr(RevengePrefix.size()));
    return std::string(name);
}

// librevenge hides the type of a plain value behind its unit; only its text
// form tells an integer or a boolean from a real.
WPXProperty convertGeneric(const librevenge::RVNGProperty &property)
{
    const librevenge::RVNGString text = property.getStr();
    const char *chars = text.cstr();
    if (std::strcmp(chars, "true") == 0 || std::strcmp(chars, "false") == 0)
        return WPXProperty::boolean(property.getInt() != 0);
    if (std::strpbrk(chars, ".eEn") == nullptr)
        return WPXProperty::integer(property.getInt());
    return WPXProperty::real(property.getDouble(), WPXProperty::Unit::Generic);
}

WPXProperty convertProperty(const librevenge::RVNGProperty &property)
{
    switch (property.getUnit()) {
    case librevenge::RVNG_INCH:
        return WPXProperty::real(property.getDouble(), WPXProperty::Unit::Inch);
    case librevenge::RVNG_POINT:
        return WPXProperty::real(property.getDouble(), WPXProperty::Unit::Point);
    case librevenge::RVNG_PERCENT:
        return WPXProperty::real(property.getDouble(), WPXProperty::Unit::Percent);
    case librevenge::RVNG_TWIP:
        return WPXProperty::real(property.getDouble(), WPXProperty::Unit::Twip);
    case librevenge::RVNG_GENERIC:
        return convertGeneric(property);
    case librevenge::RVNG_UNIT_ERROR:
        break;
    }
    // Booleans (the arc flags among them) report no unit, like text; only
    // their text form tells them apart.
    const librevenge::RVNGString text = property.getStr();
    if (std::strcmp(text.cstr(), "true") == 0)
        return WPXProperty::boolean(true);
    if (std::strcmp(text.cstr(), "false") == 0)
        return WPXProperty::boolean(false);
    // Text, and binary data as its base64 text.
    return WPXProperty::string(text.cstr());
}

WPXPropertyListVector convertVector(const librevenge::RVNGPropertyListVector *vector)
{
    WPXPropertyListVector result;
    if (!vector)
        return result;
    for (unsigned long i = 0; i < vector->count(); ++i)
        result.append(RevengeDrawingAdapter::convert((*vector)[i]));
    return result;
}

} // namespace

RevengeDrawingAdapter::RevengeDrawingAdapter(WPGPaintInterface &painter)
    : m_painter(painter)
{}

WPXPropertyList RevengeDrawingAdapter::convert(const librevenge::RVNGPropertyList &list,
                                               const char *skippedKey)
{
    WPXPropertyList result;
    librevenge::RVNGPropertyList::Iter it(list);
    for (it.rewind(); it.next();) {
        if (it.child() || !it() || (skippedKey && std::strcmp(it.key(), skippedKey) == 0))
            continue;
        result.insert(contractKey(it.key()), convertProperty(*it()));
    }
    return result;
}

void RevengeDrawingAdapter::startPage(const librevenge::RVNGPropertyList &propList)
{
    if (m_masterDepth > 0)
        return;
    m_inPage = true;
    m_painter.startGraphics(convert(propList));
    if (m_hasPendingStyle) {
        m_hasPendingStyle = false;
        setStyle(m_pendingStyle);
    }
}

void RevengeDrawingAdapter::endPage()
{
    if (!drawing())
        return;
    m_inPage = false;
    m_painter.endGraphics();
}

void RevengeDrawingAdapter::setStyle(const librevenge::RVNGPropertyList &propList)
{
    if (m_masterDepth > 0)
        return;
    if (!m_inPage) {
        m_pendingStyle = propList;
        m_hasPendingStyle = true;
        return;
    }
    m_painter.setStyle(convert(propList), convertVector(propList.child("svg:linearGradient")));
}

void RevengeDrawingAdapter::startLayer(const librevenge::RVNGPropertyList &propList)
{
    if (drawing())
        m_painter.startLayer(convert(propList));
}

void RevengeDrawingAdapter::endLayer()
{
    if (drawing())
        m_painter.endLayer();
}

void RevengeDrawingAdapter::startEmbeddedGraphics(const librevenge::RVNGPropertyList &propList)
{
    if (drawing())
        m_painter.startEmbeddedGraphics(convert(propList));
}

void RevengeDrawingAdapter::endEmbeddedGraphics()
{
    if (drawing())
        m_painter.endEmbeddedGraphics();
}

// Groups nest like layers; the group list carries nothing the picture needs.
void RevengeDrawingAdapter::openGroup(const librevenge::RVNGPropertyList &propList)
{
    if (drawing())
        m_painter.startLayer(convert(propList));
}

void RevengeDrawingAdapter::closeGroup()
{
    if (drawing())
        m_painter.endLayer();
}

void RevengeDrawingAdapter::drawRectangle(const librevenge::RVNGPropertyList &propList)
{
    if (drawing())
        m_painter.drawRectangle(convert(propList));
}

void RevengeDrawingAdapter::drawEllipse(const librevenge::RVNGPropertyList &propList)
{
    if (drawing())
        m_painter.drawEllipse(convert(propList));
}

void RevengeDrawingAdapter::drawPolygon(const librevenge::RVNGPropertyList &propList)
{
    if (drawing())
        m_painter.drawPolygon(convertVector(propList.child("svg:points")));
}

void RevengeDrawingAdapter::drawPolyline(const librevenge::RVNGPropertyList &propList)
{
    if (drawing())
        m_painter.drawPolyline(convertVector(propList.child("svg:points")));
}

void RevengeDrawingAdapter::drawPath(const librevenge::RVNGPropertyList &propList)
{
    if (drawing())
        m_painter.drawPath(convertVector(propList.child("svg:d")));
}

void RevengeDrawingAdapter::drawGraphicObject(const librevenge::RVNGPropertyList &propList)
{
    if (!drawing())
        return;
    WPXBinaryData bytes;
    if (const librevenge::RVNGProperty *data = propList[BinaryDataKey]) {
        // The property only hands out base64 text; Qt's decoder is many
        // times faster than librevenge's for large bitmaps.
        const librevenge::RVNGString base64 = data->getStr();
        bytes = WPXBinaryData(QByteArray::fromBase64(
            QByteArray::fromRawData(base64.cstr(), qsizetype(base64.size()))));
    }
    m_painter.drawGraphicObject(convert(propList, BinaryDataKey), bytes);
}

void RevengeDrawingAdapter::startTextObject(const librevenge::RVNGPropertyList &propList)
{
    if (drawing())
        m_painter.startTextObject(convert(propList), WPXPropertyListVector());
}

void RevengeDrawingAdapter::endTextObject()
{
    if (!drawing())
        return;
    closeParagraph();
    m_painter.endTextObject();
}

void RevengeDrawingAdapter::openParagraph(const librevenge::RVNGPropertyList &propList)
{
    if (!drawing())
        return;
    closeParagraph();
    m_lineProperties = propList;
    m_inLine = true;
    m_painter.startTextLine(convert(propList));
}

void RevengeDrawingAdapter::closeParagraph()
{
    if (!drawing() || !m_inLine)
        return;
    closeSpan();
    m_inLine = false;
    m_painter.endTextLine();
}

void RevengeDrawingAdapter::openListElement(const librevenge::RVNGPropertyList &propList)
{
    openParagraph(propList);
}

void RevengeDrawingAdapter::closeListElement()
{
    closeParagraph();
}

void RevengeDrawingAdapter::openSpan(const librevenge::RVNGPropertyList &propList)
{
    if (!drawing())
        return;
    closeSpan();
    m_spanProperties = propList;
    m_inSpan = true;
    m_painter.startTextSpan(convert(propList));
}

void RevengeDrawingAdapter::closeSpan()
{
    if (!drawing() || !m_inSpan)
        return;
    m_inSpan = false;
    m_painter.endTextSpan();
}

void RevengeDrawingAdapter::insertText(const librevenge::RVNGString &text)
{
    if (drawing())
        m_painter.insertText(WPXString(text.cstr()));
}

void RevengeDrawingAdapter::insertTab()
{
    if (drawing())
        m_painter.insertText(WPXString("\t"));
}

void RevengeDrawingAdapter::insertSpace()
{
    if (drawing())
        m_painter.insertText(WPXString(" "));
}

// A line break inside a paragraph starts a new text line with the same
// paragraph and span properties.
void RevengeDrawingAdapter::insertLineBreak()
{
    if (!drawing() || !m_inLine)
        return;
    const bool reopenSpan = m_inSpan;
    const librevenge::RVNGPropertyList line = m_lineProperties;
    const librevenge::RVNGPropertyList span = m_spanProperties;
    closeParagraph();
    openParagraph(line);
    if (reopenSpan)
        openSpan(span);
}
