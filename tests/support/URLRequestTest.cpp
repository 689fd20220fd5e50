#include "support/URLRequest.h"
#include "support/URLResponse.h"

#include <gtest/gtest.h>

TEST(URLRequestTest, HeaderFieldsIgnoreCaseAndCombineWhenAdded)
{
    URLRequest request(QUrl("http://127.0.0.1/"));
    EXPECT_EQ(request.HTTPMethod(), "GET");
    EXPECT_EQ(request.timeoutInterval(), URLRequest::DefaultTimeoutInterval);
    request.setValue("a", "X-Field");
    request.addValue("b", "x-field");
    EXPECT_EQ(request.valueForHTTPHeaderField("X-FIELD"), "a, b");
    request.setValue("c", "x-field");
    EXPECT_EQ(request.valueForHTTPHeaderField("X-Field"), "c");
    request.setValue(QString(), "X-Field");
    EXPECT_TRUE(request.valueForHTTPHeaderField("X-Field").isNull());
}

TEST(URLResponseTest, ReadsTypeAndLengthFromHeaders)
{
    const URLResponse response(
        QUrl("http://127.0.0.1/"), 200,
        {{"content-type", "application/json; charset=utf-8"}, {"Content-Length", "12"}});
    EXPECT_EQ(response.MIMEType(), "application/json");
    EXPECT_EQ(response.expectedContentLength(), 12);
    EXPECT_EQ(URLResponse().expectedContentLength(), -1);
}
