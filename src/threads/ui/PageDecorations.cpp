#include "threads/ui/PageDecorations.h"

#include <QJsonDocument>

namespace velkor {

QString DecorationScript(const QJsonObject& decorations) {
  static const QString script = QStringLiteral(R"JS(
(function (data) {
  var links = null;
  var next = 0;
  var found = [];
  var done = 0;
  var finished = false;
  function mark(node, kind, reply) {
    node.setAttribute('data-velkor-kind', kind);
    node.setAttribute('data-velkor-reply', reply);
    node.style.cursor = 'default';
  }
  function isReplyAnchor(node) {
    return node.tagName === 'A' && /^a[0-9]+$/.test(node.getAttribute('name') || '');
  }
  function decorate(link) {
    var reply = link.getAttribute('href').substring(5);
    var info = data[reply];
    if (!info) return;
    if (info.toOwn) {
      link.setAttribute('data-velkor-to-own', reply);
      var block = link.closest('dt,dd,li,p,div,td');
      if (!block || block === document.body) block = link;
      block.style.backgroundColor = '#ffefc8';
      var after = block.nextElementSibling;
      if (block.tagName === 'DT' && after && after.tagName === 'DD') {
        after.style.backgroundColor = '#ffefc8';
      }
    }
    if (info.own) {
      var own = document.createElement('span');
      own.textContent = '[\u81ea\u5206]';
      own.style.color = '#0050d0';
      own.style.fontWeight = 'bold';
      own.setAttribute('data-velkor-own', reply);
      link.parentNode.insertBefore(own, link.nextSibling);
    }
    if (info.answers) {
      var count = document.createElement('span');
      count.textContent = '(' + info.answers + ')';
      count.style.textDecoration = 'underline';
      mark(count, 'answers', reply);
      link.parentNode.insertBefore(count, link.nextSibling);
    }
    if (!info.id) return;
    var needle = 'ID:' + info.id;
    var walker = document.createTreeWalker(document.body,
                                           NodeFilter.SHOW_TEXT | NodeFilter.SHOW_ELEMENT);
    walker.currentNode = link;
    for (var node = walker.nextNode(); node; node = walker.nextNode()) {
      if (node.nodeType === 1) {
        if (isReplyAnchor(node)) break;
        continue;
      }
      var at = node.data.indexOf(needle);
      if (at < 0) continue;
      var idText = node.splitText(at);
      idText.splitText(needle.length);
      var id = document.createElement('span');
      mark(id, 'id', reply);
      if (info.heavy) id.style.color = '#e00000';
      idText.parentNode.replaceChild(id, idText);
      id.appendChild(idText);
      id.appendChild(document.createTextNode(' (' + info.position + '/' + info.count + ')'));
      return;
    }
  }
  function scan(final) {
    if (finished || !document.body) return;
    if (!links) links = document.links;
    for (; next < links.length; ++next) {
      if ((links[next].getAttribute('href') || '').lastIndexOf('menu:', 0) === 0) {
        found.push(links[next]);
      }
    }
    // The last reply's header may still be arriving.
    var end = final ? found.length : found.length - 1;
    for (; done < end; ++done) decorate(found[done]);
    if (!final) return;
    finished = true;
    document.body.setAttribute('data-velkor-decorated', '');
  }
  function frame() {
    if (finished) return;
    scan(false);
    requestAnimationFrame(frame);
  }
  requestAnimationFrame(frame);
  document.addEventListener('DOMContentLoaded', function () { scan(true); }, true);
})
)JS");
  return script + QLatin1Char('(') +
         QString::fromUtf8(QJsonDocument(decorations).toJson(QJsonDocument::Compact)) +
         QStringLiteral(");\n");
}

}  // namespace velkor
