// The preview's report page: plain HTML and CSS that open from the folder in
// any browser, with no scripts and nothing fetched from the network.

#include "author/disc_preview.h"

#include <QLocale>

namespace tavelo::author {

namespace {

constexpr char kStyle[] = R"(
body { font: 15px/1.4 sans-serif; margin: 0 auto; padding: 1em 2em 4em; max-width: 1400px; color: #1b1b1b; background: #fafafa; }
h1 { font-size: 1.6em; margin-bottom: .2em; }
h2 { border-bottom: 2px solid #ccc; padding-top: 1.2em; }
h3 { font-size: 1em; margin: 0 0 .4em; }
code { font-size: .95em; }
nav { margin-bottom: 1em; }
nav .item { margin-right: 1.5em; white-space: nowrap; }
.summary { font-size: 1.1em; }
.counts .error, .error { color: #b00000; }
.warning { color: #8a5a00; }
.note { color: #555; }
ul.findings { list-style: none; padding: 0; margin: 0; }
ul.findings li { margin: 0 0 .5em; }
.code { font-family: monospace; font-size: .85em; background: #eee; padding: 0 .3em; border-radius: 3px; }
.box { font-weight: bold; }
figure.view { display: flex; flex-wrap: wrap; gap: 1.5em; align-items: flex-start; margin: 1.5em 0; }
figure.view .shots { display: flex; flex-direction: column; gap: .8em; }
figure.view img, figure.small img { box-shadow: 0 1px 6px rgba(0,0,0,.35); image-rendering: auto; }
figure.view figcaption { flex: 1 1 300px; min-width: 260px; }
.sheet { display: flex; flex-wrap: wrap; gap: 1em; }
figure.small { margin: 0; width: 160px; font-size: .85em; }
figure.small figcaption { overflow-wrap: anywhere; }
)";

QString Esc(const QString& text) { return text.toHtmlEscaped(); }

QString SeverityClass(Severity s) { return SeverityName(s); }

QString FindingItem(const Finding& f)
{
    return QStringLiteral("<li class=\"%1\"><span class=\"code\">%2</span> %3%4</li>\n")
        .arg(SeverityClass(f.severity), Esc(f.code), Esc(Visible(f.message)),
             f.path.isEmpty() ? QString() : QStringLiteral(" <small>(%1)</small>").arg(Esc(Visible(f.path))));
}

QString Findings(const PreviewView& v)
{
    QString html;
    for (const QString& box : v.boxes)
        html += QStringLiteral("<li class=\"error box\">The menu shows an error box: “%1”%2</li>\n")
                    .arg(Esc(Visible(box)), v.unconfirmed.contains(box)
                                                ? QStringLiteral(" — the check reports no error for this")
                                                : QString());
    for (const Finding& f : v.findings)
        html += FindingItem(f);
    return html.isEmpty() ? QString() : QStringLiteral("<ul class=\"findings\">\n%1</ul>\n").arg(html);
}

QString Img(const QString& file, const QString& file2x, QSize size, const QString& alt)
{
    const QString srcset = file2x.isEmpty() ? QString() : QStringLiteral(" srcset=\"%1 2x\"").arg(Esc(file2x));
    return QStringLiteral("<img src=\"%1\"%2 width=\"%3\" height=\"%4\" alt=\"%5\">")
        .arg(Esc(file), srcset)
        .arg(size.width())
        .arg(size.height())
        .arg(Esc(alt));
}

QString FullView(const PreviewView& v)
{
    QString shots;
    for (qsizetype i = 0; i < v.pictures.size(); ++i)
        shots += Img(v.pictures[i], v.pictures2x.value(i), v.size, v.caption) + QLatin1Char('\n');
    return QStringLiteral("<figure class=\"view\" id=\"%1\">\n<div class=\"shots\">\n%2</div>\n"
                          "<figcaption>\n<h3>%3</h3>\n%4</figcaption>\n</figure>\n")
        .arg(Esc(v.id), shots, Esc(Visible(v.caption)), Findings(v));
}

QString SmallView(const PreviewView& v)
{
    return QStringLiteral("<figure class=\"small\" id=\"%1\">%2<figcaption>%3\n%4</figcaption></figure>\n")
        .arg(Esc(v.id), Img(v.pictures.value(0), QString(), v.size, v.caption), Esc(Visible(v.caption)), Findings(v));
}

QString Summary(const Preview& p)
{
    const CheckReport& c = p.check;
    int songs = 0;
    for (const Album& a : c.catalogue)
        songs += static_cast<int>(a.songs.size());
    QString counts;
    for (Severity s : {Severity::Error, Severity::Warning, Severity::Note})
        counts += QStringLiteral("<span class=\"%1\">%2 %1(s)</span> · ").arg(SeverityName(s)).arg(c.Count(s));
    return QStringLiteral("<p class=\"summary counts\">%1%2 slide(s), %3 album(s), %4 song(s), %5 MB on the disc</p>\n")
        .arg(counts)
        .arg(c.slides.size())
        .arg(c.catalogue.size())
        .arg(songs)
        .arg(QLocale::c().toString(static_cast<double>(c.bytes) / 1e6, 'f', 1));
}

}  // namespace

QByteArray PreviewHtml(const Preview& p)
{
    QString html = QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                                  "<meta name=\"generator\" content=\"tavelo-disc preview\">\n"
                                  "<title>Preview of %1</title>\n<style>%2</style>\n</head>\n<body>\n")
                       .arg(Esc(Visible(p.check.disc)), QString::fromLatin1(kStyle));
    html += QStringLiteral("<h1>Preview of <code>%1</code></h1>\n").arg(Esc(Visible(p.check.disc)));
    html += Summary(p);
    html += QStringLiteral(
        "<p>Each picture is the menu's own window, drawn by its own code at its real size (on a high-density "
        "screen, at twice it). Error boxes are drawn over the window where the menu would show them.</p>\n");

    QString nav;
    QString body;
    for (Section s : {Section::Start, Section::Lyrics, Section::Slides, Section::Group, Section::Disc, Section::Player,
                      Section::Help}) {
        QString full;
        QString small;
        int errors = 0;
        for (const PreviewView& v : p.views) {
            if (v.section != s)
                continue;
            errors += static_cast<int>(v.boxes.size());
            if (p.Small(v))
                small += SmallView(v);
            else
                full += FullView(v);
        }
        const QString id = SectionName(s).toLower().replace(QLatin1Char(' '), QLatin1Char('-'));
        nav += QStringLiteral("<span class=\"item\"><a href=\"#%1\">%2</a>%3</span>\n")
                   .arg(id, SectionName(s),
                        errors == 0 ? QString()
                                    : QStringLiteral(" <span class=\"error\">(%1 box%2)</span>")
                                          .arg(errors)
                                          .arg(errors == 1 ? "" : "es"));
        body += QStringLiteral("<section id=\"%1\">\n<h2>%2</h2>\n%3").arg(id, SectionName(s), full);
        if (!small.isEmpty())
            body += QStringLiteral("<p>The other slides, as the slide show shows them (half size):</p>\n"
                                   "<div class=\"sheet\">\n%1</div>\n")
                        .arg(small);
        body += QStringLiteral("</section>\n");
    }
    html += QStringLiteral("<nav>%1</nav>\n").arg(nav);
    QString problems;
    for (const PreviewView& v : p.views)
        for (const Finding& f : v.findings)
            if (f.severity != Severity::Note) {
                // "Slide 3: 03 Hills: Slide 3: JPEG error" says the slide once.
                const QString lead = v.caption.section(QStringLiteral(": "), 0, 0) + QStringLiteral(": ");
                const QString message = f.message.startsWith(lead) ? f.message.mid(lead.size()) : f.message;
                problems +=
                    QStringLiteral("<li class=\"%1\"><a href=\"#%2\">%3</a>: %4</li>\n")
                        .arg(SeverityName(f.severity), Esc(v.id), Esc(Visible(v.caption)), Esc(Visible(message)));
            }
    if (!problems.isEmpty())
        html += QStringLiteral("<ul class=\"findings\">\n%1</ul>\n").arg(problems);
    if (!p.discWide.empty()) {
        html += QStringLiteral("<h2 id=\"disc-wide\">The disc as a whole</h2>\n<ul class=\"findings\">\n");
        for (const Finding& f : p.discWide)
            html += FindingItem(f);
        html += QStringLiteral("</ul>\n");
    }
    html += body + QStringLiteral("</body>\n</html>\n");
    return html.toUtf8();
}

}  // namespace tavelo::author
