#include "gui_fixture.h"

#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>
#include <QPushButton>

#include "app/spin_edit.h"
#include "app/window_look.h"

namespace kurvane::test {

bool FakeDialogs::ConfirmWarning(const QString& text)
{
    Record(gui::BoxKind::Warning, text);
    if (answers.empty()) {
        ADD_FAILURE() << "unexpected question: " << text.toStdString();
        return false;
    }
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

void FakeDialogs::Record(gui::BoxKind kind, const QString& text)
{
    boxes.push_back({kind, text});
    if (whileOpen)
        whileOpen();
}

SocketHandle SwitchableSockets::Socket()
{
    if (failSocket)
        return kInvalidSocket;
    const SocketHandle s = real_->Socket();
    if (s != kInvalidSocket)
        open.insert(s);
    return s;
}

bool SwitchableSockets::Connect(SocketHandle s, std::uint32_t address, std::uint16_t port)
{
    return real_->Connect(s, address, port);
}

std::int64_t SwitchableSockets::Send(SocketHandle s, const char* data, std::size_t length)
{
    return failSend ? -1 : real_->Send(s, data, length);
}

std::int64_t SwitchableSockets::Receive(SocketHandle s, char* buffer, std::size_t capacity)
{
    return real_->Receive(s, buffer, capacity);
}

void SwitchableSockets::Close(SocketHandle s)
{
    open.erase(s);
    real_->Close(s);
}

std::optional<std::uint32_t> SwitchableSockets::LookupName(const std::string& name)
{
    if (name != "localhost")
        return std::nullopt;
    return real_->InetAddr("127.0.0.1");
}

std::optional<std::uint32_t> SwitchableSockets::LookupAddress(std::uint32_t address)
{
    if (failReverseLookup)
        return std::nullopt;
    return address;
}

WindowTest::WindowTest()
{
    char* cwd = getcwd(nullptr, 0);
    previousDirectory_ = cwd != nullptr ? cwd : "/";
    std::free(cwd);
    EXPECT_EQ(chdir(dir_.Path().c_str()), 0);
}

WindowTest::~WindowTest()
{
    form2_.reset();
    form1_.reset();
    if (chdir(previousDirectory_.c_str()) != 0)
        ADD_FAILURE() << "cannot go back to " << previousDirectory_;
}

void WindowTest::OpenWindows(const std::string& codeset)
{
    form2_.reset();
    form1_.reset();
    form1_ = std::make_unique<gui::TForm1>(sockets_, dialogs_, gui::LocaleText(codeset));
    form2_ = std::make_unique<gui::TForm2>(*form1_, dialogs_, gui::LocaleText(codeset));
    form1_->AttachEditor(*form2_);
    form1_->show();
}

void WindowTest::SetField(const char* name, const QString& text)
{
    if (auto* spin = form1_->findChild<gui::SpinEdit*>(QString::fromLatin1(name)))
        spin->setText(text);
    else if (auto* edit = Find<QLineEdit>(name))
        edit->setText(text);
}

QString WindowTest::FieldText(const char* name)
{
    if (auto* spin = form1_->findChild<gui::SpinEdit*>(QString::fromLatin1(name)))
        return spin->text();
    auto* edit = Find<QLineEdit>(name);
    return edit != nullptr ? edit->text() : QString();
}

void WindowTest::Run(const QString& address)
{
    SetField("Edit1", address);
    Find<QPushButton>("Button1")->click();
}

QString WindowTest::MemoText() { return Find<QTextEdit>("Memo1")->toPlainText(); }

QStringList WindowTest::Panels()
{
    return {Find<QLabel>("SentPanel")->text(), Find<QLabel>("ReceivedPanel")->text(),
            Find<QLabel>("ChargePanel")->text()};
}

void WindowTest::Trigger(const char* actionName) { Find<QAction>(actionName)->trigger(); }

QString Shown(const std::string& coreText) { return gui::CoreText(coreText); }

}  // namespace kurvane::test
