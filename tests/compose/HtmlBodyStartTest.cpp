#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compose/DownloadLinkNotice.h"

namespace dwl {
namespace {

// Each input has a '^' where the notice goes, or none when it finds no place.
void ExpectPoints(const std::vector<std::string>& marked) {
  for (std::string html : marked) {
    const std::size_t point = html.find('^');
    if (point != std::string::npos) html.erase(point, 1);
    EXPECT_EQ(notice::InsertionPoint(html), point) << html;
  }
}

TEST(HtmlBodyStartTest, APlainBodyTagIsFoundWhateverItsCase) {
  ExpectPoints({"<body>^", "<html><BODY class=\"x\">^text", "<Body\r\n  bgcolor=\"#ffffff\">^",
                "<p>no body tag</p>", "<bodyx>", "<bodyx><body/>^", "a < b <3 <body>^"});
}

TEST(HtmlBodyStartTest, ABodyTagInsideOtherMarkupIsNotTheBody) {
  ExpectPoints({
      "<style>/* <body> */ p {}</style><body>^",
      "<!-- <body> --><body>^",
      "<!--><body>^",
      "<!---><body>^",
      "<!-- a --!><body>^",
      "<script>var s = \"<body>\";</script><body>^",
      "<SCRIPT>s = '</scripts><body>';</Script ><body>^",
      "<title>the <body> tag</title><body>^",
      "<body data-x=\"a>b\">^c",
      "<body data-x='a>b'>^c",
      "<p title=\"<body>\"><body>^",
      "</p class=\"a><body>\"><body>^",
      "<p a=b\"c 'd><body>^",
      "<?xml x=\"<body>\"?><!DOCTYPE html><body>^",
  });
}

TEST(HtmlBodyStartTest, AWordDocumentGetsTheNoticeAtTheStartOfItsBody) {
  ExpectPoints({
      "<html xmlns:o=\"urn:schemas-microsoft-com:office:office\">\r\n<head>\r\n"
      "<meta http-equiv=Content-Type content=\"text/html; charset=us-ascii\">\r\n"
      "<!--[if !mso]><style>v\\:* {behavior:url(#default#VML);}</style><![endif]-->"
      "<style><!--\r\n/* Font Definitions */\r\n@font-face {font-family:\"Cambria Math\";}\r\n"
      "p.MsoNormal {margin:0cm;}\r\n--></style><!--[if gte mso 9]><xml>\r\n"
      "<o:shapedefaults v:ext=\"edit\" spidmax=\"1026\" />\r\n</xml><![endif]-->\r\n</head>\r\n"
      "<body lang=EN-US link=\"#0563C1\" vlink=\"#954F72\" style='tab-interval:36.0pt'>^"
      "<div class=WordSection1><p class=MsoNormal>Hello<o:p></o:p></p></div></body></html>",
  });
}

TEST(HtmlBodyStartTest, WithoutABodyTagTheNoticeFollowsTheHeadOrTheHtmlTag) {
  ExpectPoints({
      "<html><head><title>t</title></head>^<p>x</p></html>",
      "<HTML lang=\"en\">^<p>x</p></html>",
      "<html>^<!-- </head> <body> --><p>x</p>",
      "<html>^<plaintext><body>",
      "<html>^<body",
  });
}

TEST(HtmlBodyStartTest, MarkupThatNeverEndsFindsNothing) {
  ExpectPoints({"<body", "<body class=\"x>", "<!-- <body>", "<script><body>", "<p title='<body>"});
}

}  // namespace
}  // namespace dwl
