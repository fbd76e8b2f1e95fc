// What the window tests share: dialogs that answer themselves, sockets that can be
// made to fail where a loopback cannot, and both windows opened in a directory
// of their own with a ready header.cfg.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <QWidget>

#include "app/dialogs.h"
#include "app/unit1.h"
#include "editor/unit2.h"
#include "loopback_server.h"
#include "measure/sockets.h"

namespace kurvane::test {

struct ShownBox {
    gui::BoxKind kind;
    QString text;
};

class FakeDialogs final : public gui::Dialogs {
public:
    void Beep() override { ++beeps; }
    void ShowMessage(const QString& text) override { Record(gui::BoxKind::Plain, text); }
    void ShowInformation(const QString& text) override { Record(gui::BoxKind::Information, text); }
    bool ConfirmWarning(const QString& text) override;
    void ShowError(const QString& text) override { Record(gui::BoxKind::Error, text); }

    int beeps = 0;
    std::vector<ShownBox> boxes;
    std::deque<bool> answers;  // for ConfirmWarning, taken in order; an unplanned question fails the test
    std::function<void()> whileOpen;  // runs while a box is up, to look at the windows then

private:
    void Record(gui::BoxKind kind, const QString& text);
};

// Real loopback sockets, with the failures a test cannot provoke for real.
class SwitchableSockets final : public Sockets {
public:
    SwitchableSockets() : real_(MakePosixSockets()) {}

    SocketHandle Socket() override;
    bool Connect(SocketHandle s, std::uint32_t address, std::uint16_t port) override;
    std::int64_t Send(SocketHandle s, const char* data, std::size_t length) override;
    std::int64_t Receive(SocketHandle s, char* buffer, std::size_t capacity) override;
    void Close(SocketHandle s) override;
    std::uint32_t InetAddr(const std::string& text) override { return real_->InetAddr(text); }
    // Only "localhost" has an entry: no test ever asks a name server.
    std::optional<std::uint32_t> LookupName(const std::string& name) override;
    std::optional<std::uint32_t> LookupAddress(std::uint32_t address) override;

    bool failSocket = false;
    bool failSend = false;
    bool failReverseLookup = false;
    std::set<SocketHandle> open;  // sockets not closed yet

private:
    std::unique_ptr<Sockets> real_;
};

// Both windows, created as the program creates them, in a fresh working directory.
class WindowTest : public ::testing::Test {
protected:
    WindowTest();
    ~WindowTest() override;

    // Creates Form1 (which checks for header.cfg) and Form2, and shows Form1; the
    // windows convert user text with codeset. Events are not processed yet.
    void OpenWindows(const std::string& codeset = "UTF-8");

    gui::TForm1& Form1() { return *form1_; }
    gui::TForm2& Form2() { return *form2_; }

    template <typename T>
    T* Find(QWidget& window, const char* name)
    {
        T* found = window.findChild<T*>(QString::fromLatin1(name));
        if (found == nullptr)
            ADD_FAILURE() << "no control " << name;
        return found;
    }
    template <typename T>
    T* Find(const char* name)
    {
        return Find<T>(*form1_, name);
    }

    void SetField(const char* name, const QString& text);
    QString FieldText(const char* name);
    // Types the address into Edit1 and presses Start.
    void Run(const QString& address);
    QString MemoText();
    QStringList Panels();
    void Trigger(const char* actionName);

    TemplateDir dir_;
    FakeDialogs dialogs_;
    SwitchableSockets sockets_;

private:
    std::string previousDirectory_;
    std::unique_ptr<gui::TForm1> form1_;
    std::unique_ptr<gui::TForm2> form2_;
};

// The main window's fixed texts, as the windows show them (CR LF as line breaks).
QString Shown(const std::string& coreText);

}  // namespace kurvane::test
