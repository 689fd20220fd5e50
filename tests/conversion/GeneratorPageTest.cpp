#include "GeneratorTestSupport.h"

#include <cmath>

namespace {

const std::string RootStart =
    "<svg:svg id=\"svgRoot\" version=\"1.1\" xmlns:svg=\"http://www.w3.org/2000/svg\" "
    "xmlns:xlink=\"http://www.w3.org/1999/xlink\" ";

const std::string Script = "<svg:script><![CDATA[                                  \n"
                           "var svgElement = document.getElementById(\"svgRoot\"); \n"
                           "var gElement = document.getElementById(\"rootGroup\"); \n"
                           "var b = gElement.getBBox();                            \n"
                           "svgElement.setAttribute(\"width\", b.width);           \n"
                           "svgElement.setAttribute(\"height\", b.height);         \n"
                           "svgElement.setAttribute(\"viewBox\", [b.x,b.y,b.width,b.height]); \n"
                           "]]></svg:script>                                       \n";

const WPXPropertyList SolidRed = props({{"draw:fill", text("solid")},
                                        {"draw:fill-color", text("#ff0000")},
                                        {"draw:stroke", text("none")},
                                        {"svg:stroke-width", inches(0)}});

} // namespace

TEST(NumberFormatTest, SixSignificantDigitsWithAPoint)
{
    const std::pair<double, const char *> cases[] = {
        {612, "612"},
        {0.5, "0.5"},
        {1.0 / 3, "0.333333"},
        {0.0000001, "1e-07"},
        {1234567, "1.23457e+06"},
        {-0.0, "-0"},
        {72 * 1.25, "90"},
        {-1896.1573, "-1896.16"},
        {100000, "100000"},
    };
    for (const auto &[value, expected] : cases)
        EXPECT_EQ(CDRSVGGenerator::formatNumber(value), expected) << value;
}

TEST_F(GeneratorTest, EmptyPageIsFrameAndScriptOnly)
{
    generator.startGraphics(props({{"svg:width", inches(8.5)}, {"svg:height", inches(11)}}));
    generator.endGraphics();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].str(), RootStart + "width=\"612\" height=\"792\" >\n" +
                                  "<svg:g id=\"rootGroup\">\n</svg:g>\n" + Script + "</svg:svg>\n");
}

TEST_F(GeneratorTest, PageWithoutSizeHasNoSizeAttributes)
{
    EXPECT_EQ(RootStart.size(), 118u);
    begin();
    generator.endGraphics();
    EXPECT_EQ(pages[0].str().substr(0, 121), RootStart + " >\n");
}

TEST_F(GeneratorTest, EachPageGoesToTheListWhenItEnds)
{
    begin();
    EXPECT_TRUE(pages.empty());
    generator.drawPath(vector(
        {props({{"libwpg:path-action", text("M")}, {"svg:x", inches(1)}, {"svg:y", inches(1)}})}));
    generator.endGraphics();
    begin();
    generator.endGraphics();
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_NE(pages[0].str().find("M72,72"), std::string::npos);
    EXPECT_EQ(pages[1].str().find("svg:path"), std::string::npos);
}

TEST_F(GeneratorTest, LayersNestAsGroups)
{
    begin();
    generator.startLayer(
        props({{"svg:id", WPXProperty::integer(3)}, {"svg:fill-rule", text("evenodd")}}));
    generator.startLayer(WPXPropertyList());
    generator.endLayer();
    generator.endLayer();
    EXPECT_EQ(body(), "<svg:g id=\"Layer3\" fill-rule=\"evenodd\">\n<svg:g>\n</svg:g>\n</svg:g>\n");
}

TEST_F(GeneratorTest, StyleAttributeWritesDeclarationsInOrder)
{
    begin();
    generator.setStyle(props({{"draw:stroke", text("solid")},
                              {"svg:stroke-width", inches(0.5)},
                              {"svg:stroke-color", text("#00ff00")},
                              {"svg:stroke-opacity", fraction(0.99)},
                              {"svg:stroke-linecap", text("round")},
                              {"svg:stroke-linejoin", text("bevel")},
                              {"svg:fill-rule", text("evenodd")},
                              {"draw:fill", text("solid")},
                              {"draw:fill-color", text("#123456")},
                              {"draw:opacity", fraction(0.5)}}),
                       WPXPropertyListVector());
    generator.drawPolygon(vector({props({{"svg:x", inches(0)}, {"svg:y", inches(0)}}),
                                  props({{"svg:x", inches(1)}, {"svg:y", inches(0)}}),
                                  props({{"svg:x", inches(1)}, {"svg:y", inches(1)}})}));
    EXPECT_EQ(body(), "<svg:polygon points=\"0 0, 72 0, 72 72\"\n"
                      "style=\"stroke-width: 36; stroke: #00ff00; stroke-opacity: 0.99; "
                      "stroke-dasharray:  solid; stroke-linecap: round; stroke-linejoin: bevel; "
                      "fill-rule: evenodd; fill: #123456; fill-opacity: 0.5; \"/>\n");
}

TEST_F(GeneratorTest, StrokeDetailsFollowTheStrokeKind)
{
    struct Case
    {
        WPXPropertyList style;
        const char *attribute;
    };
    const Case cases[] = {
        // A zero width with a visible stroke is a hairline.
        {props({{"draw:stroke", text("solid")}, {"svg:stroke-width", inches(0)}}),
         "style=\"stroke-width: 0.2; stroke-dasharray:  solid; \""},
        // An opacity whose integer value is 1 is not written.
        {props({{"draw:stroke", text("solid")}, {"svg:stroke-opacity", fraction(1.0)}}),
         "style=\"stroke-dasharray:  solid; \""},
        {props({{"draw:stroke", text("dash")},
                {"draw:dots1", WPXProperty::integer(2)},
                {"draw:dots2", WPXProperty::integer(1)},
                {"draw:dots1-length", WPXProperty::real(3.9, Unit::Point)},
                {"draw:dots2-length", WPXProperty::real(7.2, Unit::Point)},
                {"draw:distance", WPXProperty::real(2.5, Unit::Point)}}),
         "style=\"stroke-dasharray: 3, 2, 3, 2, 7, 2; \""},
        {props({{"draw:stroke", text("dash")},
                {"draw:dots1", WPXProperty::integer(0)},
                {"draw:dots2", WPXProperty::integer(2)},
                {"draw:dots1-length", real(1)},
                {"draw:dots2-length", real(5)},
                {"draw:distance", real(4)}}),
         "style=\"stroke-dasharray: , 5, 4, 5, 4; \""},
        {props({{"draw:stroke", text("none")}, {"draw:fill", text("none")}}),
         "style=\"fill: none; \""},
        {WPXPropertyList(), "style=\"\""},
    };
    for (const Case &c : cases) {
        CDRStringVector list;
        CDRSVGGenerator painter(list);
        painter.startGraphics(WPXPropertyList());
        painter.setStyle(c.style, WPXPropertyListVector());
        painter.drawPath(WPXPropertyListVector());
        painter.endGraphics();
        EXPECT_NE(list[0].str().find(std::string("\" \n") + c.attribute + "/>\n"),
                  std::string::npos)
            << c.attribute << "\n"
            << list[0].str();
    }
}

TEST_F(GeneratorTest, GradientIdsCountAcrossPages)
{
    const WPXPropertyList linear = props({{"draw:fill", text("gradient")},
                                          {"draw:style", text("linear")},
                                          {"draw:start-color", text("#000000")},
                                          {"draw:end-color", text("#ffffff")}});
    begin();
    generator.setStyle(linear, WPXPropertyListVector());
    generator.drawPath(WPXPropertyListVector());
    const std::string first = body();
    EXPECT_EQ(first, "<svg:defs>\n"
                     "  <svg:linearGradient id=\"grad1\" >\n"
                     "    <svg:stop offset=\"0%\" stop-color=\"#000000\" stop-opacity=\"1\" />\n"
                     "    <svg:stop offset=\"100%\" stop-color=\"#ffffff\" stop-opacity=\"1\" />\n"
                     "  </svg:linearGradient>\n"
                     "  <svg:linearGradient xlink:href=\"#grad1\" id=\"grad2\" x1=\"0\" y1=\"0\" "
                     "x2=\"0\" y2=\"1\" gradientTransform=\"rotate(-0 .5 .5)\" "
                     "gradientUnits=\"objectBoundingBox\" >\n"
                     "  </svg:linearGradient>\n"
                     "</svg:defs>\n"
                     "<svg:path d=\" \" \nstyle=\"fill: url(#grad2); \"/>\n");
    begin();
    generator.setStyle(linear, WPXPropertyListVector());
    EXPECT_NE(body().find("<svg:linearGradient id=\"grad3\" >"), std::string::npos);
}

TEST_F(GeneratorTest, GradientAngleIsNegatedAndWrapped)
{
    struct Case
    {
        double angle;
        const char *rotation; // nullptr: no rotated copy
    };
    const Case cases[] = {{90, nullptr},
                          {450, nullptr},
                          {-30, "rotate(30 .5 .5)"},
                          {45, "rotate(315 .5 .5)"},
                          {720, "rotate(0 .5 .5)"}};
    for (const Case &c : cases) {
        CDRStringVector list;
        CDRSVGGenerator painter(list);
        painter.startGraphics(WPXPropertyList());
        painter.setStyle(props({{"draw:fill", text("gradient")},
                                {"draw:style", text("linear")},
                                {"draw:angle", WPXProperty::integer(int(c.angle))}}),
                         WPXPropertyListVector());
        painter.endGraphics();
        const std::string &page = list[0].str();
        if (c.rotation)
            EXPECT_NE(page.find(c.rotation), std::string::npos) << c.angle << page;
        else
            EXPECT_EQ(page.find("gradientTransform"), std::string::npos) << c.angle;
    }
}

TEST_F(GeneratorTest, HugeOrEndlessAnglesDoNotHang)
{
    begin();
    for (double angle : {1e300, -1e300, HUGE_VAL, std::nan("")})
        generator.setStyle(props({{"draw:fill", text("gradient")},
                                  {"draw:style", text("linear")},
                                  {"draw:angle", real(angle)}}),
                           WPXPropertyListVector());
    EXPECT_NE(body().find("grad8"), std::string::npos);
}

TEST_F(GeneratorTest, GradientWithStopsUsesThemAsGiven)
{
    begin();
    generator.setStyle(props({{"draw:fill", text("gradient")}, {"draw:angle", real(90)}}),
                       vector({props({{"svg:offset", fraction(0)},
                                      {"svg:stop-color", text("#ff0000")},
                                      {"svg:stop-opacity", fraction(1)}}),
                               props({{"svg:offset", fraction(0.5)},
                                      {"svg:stop-color", text("#0000ff")},
                                      {"svg:stop-opacity", fraction(0.25)}})}));
    EXPECT_EQ(body(),
              "<svg:defs>\n"
              "  <svg:linearGradient id=\"grad1\" >\n"
              "    <svg:stop offset=\"0.0000%\" stop-color=\"#ff0000\" stop-opacity=\"1\" />\n"
              "    <svg:stop offset=\"50.0000%\" stop-color=\"#0000ff\" stop-opacity=\"0.25\" "
              "/>\n"
              "  </svg:linearGradient>\n"
              "</svg:defs>\n");
}

TEST_F(GeneratorTest, RadialAndAxialTwoColourGradients)
{
    begin();
    generator.setStyle(props({{"draw:fill", text("gradient")},
                              {"draw:style", text("square")},
                              {"draw:cx", fraction(0.5)},
                              {"svg:cy", fraction(0.25)},
                              {"draw:border", fraction(0.2)},
                              {"draw:start-color", text("#111111")},
                              {"draw:end-color", text("#222222")},
                              {"libwpg:end-opacity", fraction(0.5)}}),
                       WPXPropertyListVector());
    generator.setStyle(props({{"draw:fill", text("gradient")},
                              {"draw:style", text("axial")},
                              {"draw:angle", real(90)},
                              {"draw:start-color", text("#111111")},
                              {"draw:end-color", text("#222222")}}),
                       WPXPropertyListVector());
    EXPECT_EQ(body(),
              "<svg:defs>\n"
              "  <svg:radialGradient id=\"grad1\" cx=\"50.0000%\" cy=\"25.0000%\" r=\"80%\" >\n"
              "    <svg:stop offset=\"0%\" stop-color=\"#222222\" stop-opacity=\"0.5\" />\n"
              "    <svg:stop offset=\"100%\" stop-color=\"#111111\" stop-opacity=\"1\" />\n"
              "  </svg:radialGradient>\n"
              "</svg:defs>\n"
              "<svg:defs>\n"
              "  <svg:linearGradient id=\"grad2\" >\n"
              "    <svg:stop offset=\"0%\" stop-color=\"#222222\" stop-opacity=\"1\" />\n"
              "    <svg:stop offset=\"50%\" stop-color=\"#111111\" stop-opacity=\"1\" />\n"
              "    <svg:stop offset=\"100%\" stop-color=\"#222222\" stop-opacity=\"1\" />\n"
              "  </svg:linearGradient>\n"
              "</svg:defs>\n");
}

TEST_F(GeneratorTest, GradientWithoutKindWritesNothingButIsStillReferenced)
{
    begin();
    generator.setStyle(props({{"draw:fill", text("gradient")}}), WPXPropertyListVector());
    generator.drawPath(WPXPropertyListVector());
    EXPECT_EQ(body(), "<svg:path d=\" \" \nstyle=\"fill: url(#grad0); \"/>\n");
}

TEST_F(GeneratorTest, ShadowFilterColours)
{
    struct Case
    {
        const char *colour;
        const char *values;
    };
    const Case cases[] = {
        {"#808080", "0 0 0 0 0.501961 0 0 0 0 0.501961 0 0 0 0 0.501961 0 0 0 0.5 0"},
        {"#80808", "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0.5 0"},
        {"808080", "0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0.5 0"},
        {"#ff0000", "0 0 0 0 1 0 0 0 0 0 0 0 0 0 0 0 0 0 0.5 0"},
    };
    for (const Case &c : cases) {
        CDRStringVector list;
        CDRSVGGenerator painter(list);
        painter.startGraphics(WPXPropertyList());
        painter.setStyle(props({{"draw:shadow", text("visible")},
                                {"draw:shadow-color", text(c.colour)},
                                {"draw:shadow-offset-x", inches(0.1)},
                                {"draw:shadow-offset-y", inches(-0.1)},
                                {"draw:shadow-opacity", fraction(0.5)}}),
                         WPXPropertyListVector());
        painter.drawPath(WPXPropertyListVector());
        painter.endGraphics();
        const std::string &page = list[0].str();
        EXPECT_NE(page.find(std::string("values=\"") + c.values + "\"/>"), std::string::npos)
            << c.colour << "\n"
            << page;
        EXPECT_NE(page.find("<svg:defs>\n<svg:filter filterUnits=\"userSpaceOnUse\" id=\"shadow1\">"
                            "<svg:feOffset in=\"SourceGraphic\" result=\"offset\" dx=\"7.2\" "
                            "dy=\"-7.2\"/>"),
                  std::string::npos);
        EXPECT_NE(page.find("</svg:filter></svg:defs><svg:path"), std::string::npos);
        EXPECT_NE(page.find("style=\"filter:url(#shadow1); \""), std::string::npos);
    }
}

TEST_F(GeneratorTest, ShadowOpacityIsDividedByAFillOpacityBelowOne)
{
    begin();
    generator.setStyle(props({{"draw:shadow", text("visible")},
                              {"draw:shadow-offset-x", inches(0)},
                              {"draw:shadow-offset-y", inches(0)},
                              {"draw:shadow-opacity", fraction(0.25)},
                              {"draw:opacity", fraction(0.5)}}),
                       WPXPropertyListVector());
    EXPECT_NE(body().find(" 0 0 0 0.5 0\"/>"), std::string::npos);
}

TEST_F(GeneratorTest, BitmapFillBecomesAPatternWithADataUrl)
{
    begin();
    generator.setStyle(props({{"draw:fill", text("bitmap")},
                              {"draw:fill-image", text("QUJD")},
                              {"libwpg:mime-type", text("image/bmp")},
                              {"svg:width", inches(1)}}),
                       WPXPropertyListVector());
    generator.drawPath(WPXPropertyListVector());
    EXPECT_EQ(body(), "<svg:defs>\n"
                      "  <svg:pattern id=\"img1\" patternUnits=\"userSpaceOnUse\" width=\"72\" "
                      "height=\"100\">\n"
                      "<svg:image x=\"0\" y=\"0\" width=\"72\" height=\"100\" "
                      "xlink:href=\"data:image/bmp;base64,QUJD\" />\n"
                      "  </svg:pattern>\n"
                      "</svg:defs>\n"
                      "<svg:path d=\" \" \nstyle=\"fill: url(#img1); \"/>\n");
}

TEST_F(GeneratorTest, StyleStaysInForceAcrossPages)
{
    generator.setStyle(SolidRed, WPXPropertyListVector());
    begin();
    generator.drawPath(WPXPropertyListVector());
    EXPECT_EQ(body(), "<svg:path d=\" \" \nstyle=\"stroke-width: 0; fill: #ff0000; \"/>\n");
}
