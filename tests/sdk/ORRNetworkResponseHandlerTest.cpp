#include "sdk/ORRNetworkResponseHandler.h"
#include "sdk/ORRURLBuilder.h"
#include "support/URLError.h"

#include <QUrlQuery>

#include <gtest/gtest.h>

namespace {

using Handler = ORRNetworkResponseHandler;

URLResponse response(int status, QList<QPair<QString, QString>> headers = {})
{
    return URLResponse(QUrl("http://127.0.0.1/"), status, std::move(headers));
}

std::pair<int, int> classify(const Handler::Response &r)
{
    std::pair<int, int> result{-1, -1};
    Handler::clientResponseType(r, [&](int type, int status) { result = {type, status}; });
    return result;
}

struct Outcome
{
    bool retry = false;
    Error error;
};

Outcome handle(const Handler::Response &r, const URLRequest &request, const Error &transport = {})
{
    Outcome outcome;
    Handler::handleCompletedResponse(r, request, transport, [&](bool retry, const Error &error) {
        outcome = {retry, error};
    });
    return outcome;
}

URLRequest jsonRequest()
{
    URLRequest request(QUrl("http://127.0.0.1/settings"));
    request.setValue("application/json", "Accept");
    request.setValue("utf-8", "Accept-Charset");
    return request;
}

} // namespace

TEST(ORRNetworkResponseHandlerTest, ClassifiesEveryStatusClass)
{
    for (int status : {200, 201, 202, 204, 304})
        EXPECT_EQ(classify(response(status)).first, Handler::Success) << status;
    for (int status : {400, 401, 403, 404, 406, 410, 411, 413, 419, 422, 431})
        EXPECT_EQ(classify(response(status)).first, Handler::RejectedRequest) << status;
    for (int status : {408, 500, 503, 599})
        EXPECT_EQ(classify(response(status)).first, Handler::ServerFailure) << status;
    for (int status : {420, 429})
        EXPECT_EQ(classify(response(status)).first, Handler::Throttled) << status;
    for (int status : {100, 203, 206, 301, 402, 409, 418, 432, 451, 600, 700})
        EXPECT_EQ(classify(response(status)).first, Handler::Failure) << status;
    EXPECT_EQ(classify(std::nullopt), std::make_pair(1, 0));
}

TEST(ORRNetworkResponseHandlerTest, CompletedResponsesRetryOnlyServerFailureAndThrottling)
{
    const URLRequest plain(QUrl("http://127.0.0.1/"));
    const QList<QPair<QString, QString>> headers{{"X-Request-Id", "abc-1"},
                                                 {"Content-Type", "text/html"}};
    struct Case
    {
        int status;
        bool retry;
        int code;
    };
    for (const Case &c : {Case{200, false, 0}, Case{204, false, 0}, Case{203, false, -4},
                          Case{409, false, -4}, Case{422, false, -5}, Case{408, true, -1},
                          Case{503, true, -1}, Case{429, true, -1}, Case{420, true, -1}}) {
        const Outcome outcome = handle(response(c.status, headers), plain);
        EXPECT_EQ(outcome.retry, c.retry) << c.status;
        if (c.code == 0) {
            EXPECT_TRUE(outcome.error.isNull()) << c.status;
            continue;
        }
        EXPECT_EQ(outcome.error.domain(), "ORRNetworkError");
        EXPECT_EQ(outcome.error.code(), c.code) << c.status;
        EXPECT_EQ(outcome.error.userInfo().value("status_code").toInt(), c.status);
        EXPECT_EQ(outcome.error.userInfo().value("request_id").toString(), "abc-1");
        EXPECT_EQ(outcome.error.userInfo().value("content_type").toString(), "text/html");
    }
    // Missing headers become empty texts.
    const Error bare = handle(response(500), plain).error;
    EXPECT_EQ(bare.userInfo().value("request_id").toString(), "");
    EXPECT_EQ(bare.userInfo().value("content_type").toString(), "");
    EXPECT_EQ(bare.userInfo().value("type").toInt(), 3);
}

TEST(ORRNetworkResponseHandlerTest, SuccessMustMatchTheAcceptedContentType)
{
    EXPECT_TRUE(
        handle(response(200, {{"Content-Type", "application/json; charset=utf-8"}}), jsonRequest())
            .error.isNull());
    EXPECT_TRUE(handle(response(200, {{"Content-Type", "Application/JSON"}}), jsonRequest())
                    .error.isNull());
    const Outcome html = handle(response(200, {{"Content-Type", "text/html"}}), jsonRequest());
    EXPECT_FALSE(html.retry);
    EXPECT_EQ(html.error.code(), -4);
    EXPECT_EQ(html.error.userInfo().value("type").toInt(), 1);
    EXPECT_EQ(handle(response(200), jsonRequest()).error.code(), -4);
    EXPECT_EQ(
        handle(response(200, {{"Content-Type", "application/json; charset=latin1"}}), jsonRequest())
            .error.code(),
        -4);
    EXPECT_TRUE(Handler::contentTypeForResponse(response(200), URLRequest(QUrl("http://x/"))));
}

TEST(ORRNetworkResponseHandlerTest, TransportErrorsAreRetriedUnlessPermanent)
{
    const URLRequest plain(QUrl("http://127.0.0.1/"));
    for (int code : {-1001, -1009, -1004, -1005, -999, -1102})
        EXPECT_TRUE(handle(std::nullopt, plain, URLError::make(code, QUrl())).retry) << code;
    for (int code : {-1202, -1200, -1206, -1000, -1002, -1007, -1013, -1022, -1100, -1103})
        EXPECT_FALSE(handle(std::nullopt, plain, URLError::make(code, QUrl())).retry) << code;
    EXPECT_FALSE(Handler::retryableURLError(Error("Other", -1001)));
    EXPECT_EQ(handle(std::nullopt, plain, URLError::make(-1001, QUrl())).error.code(), -1001);

    Error cancelled(URLError::Domain, -999, {{Handler::BackgroundTaskCancelledReasonKey, 2}});
    EXPECT_EQ(Handler::cancelReasonFromURLError(cancelled), 2);
    EXPECT_EQ(Handler::cancelReasonFromURLError(URLError::make(-999, QUrl())), -1);
    EXPECT_EQ(Handler::cancelReasonFromURLError(URLError::make(-1001, QUrl())), -1);
}

TEST(ORRNetworkResponseHandlerTest, RetryAfterReadsAsSeconds)
{
    EXPECT_EQ(Handler::retryValueForResponse(std::nullopt), 2.0);
    EXPECT_EQ(Handler::retryValueForResponse(response(503)), 2.0);
    EXPECT_EQ(Handler::retryValueForResponse(response(503, {{"Retry-After", "60"}})), 60.0);
    EXPECT_EQ(Handler::retryValueForResponse(response(503, {{"Retry-After", "1.5"}})), 1.5);
    EXPECT_EQ(Handler::retryValueForResponse(response(503, {{"Retry-After", "-5"}})), 2.0);
    EXPECT_EQ(Handler::retryValueForResponse(response(503, {{"Retry-After", "0"}})), 0.0);
    EXPECT_EQ(Handler::retryValueForResponse(
                  response(503, {{"Retry-After", "Wed, 21 Oct 2015 07:28:00 GMT"}})),
              0.0);
}

TEST(ORRURLBuilderTest, EscapesValuesAndNumbersParameters)
{
    ORRURLBuilder builder = ORRURLBuilder::URLWithBase("https://127.0.0.1:1");
    builder.appendComponent("/spi/v2/platforms/");
    builder.escapeAndAppendComponent("mac");
    builder.appendValue(QVariant(), "build_version");
    builder.appendValue("1.0 beta", "display_version");
    builder.appendValue(4, "source");
    builder.appendValue("a&b=c/d?e+f#g \"<ü>%", "x");
    EXPECT_EQ(builder.queryParams(), 3u);
    EXPECT_EQ(builder.URLString(), "https://127.0.0.1:1/spi/v2/platforms/mac"
                                   "?display_version=1.0%20beta&source=4"
                                   "&x=a%26b%3Dc%2Fd%3Fe%2Bf%23g%20%22%3C%C3%BC%3E%25");
    ASSERT_TRUE(builder.URL());
    EXPECT_EQ(builder.URL()->port(), 1);
    EXPECT_FALSE(ORRURLBuilder::URLWithBase("http://[bad").URL());
}

TEST(ORRURLBuilderTest, QueryValuesAndNamesCannotAddParameters)
{
    ORRURLBuilder builder = ORRURLBuilder::URLWithBase("https://127.0.0.1/settings");
    builder.appendValue("1.0&instance=forged", "display_version");
    builder.appendValue("a=b?c#d+e", "odd name&x=y");
    ASSERT_TRUE(builder.URL());
    const QList<QPair<QString, QString>> items =
        QUrlQuery(*builder.URL()).queryItems(QUrl::FullyDecoded);
    EXPECT_EQ(items, (QList<QPair<QString, QString>>{{"display_version", "1.0&instance=forged"},
                                                     {"odd name&x=y", "a=b?c#d+e"}}));
    EXPECT_FALSE(builder.URL()->hasFragment());
}
