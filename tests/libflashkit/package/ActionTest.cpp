// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "TestPackage.h"
#include "package/Action.h"

namespace {

using fwu::Uuid;
using fwu::kfw::Action;
using fwu::kfw::TransferDataAction;
using fwu::kfw::TransferMStarDataAction;
using fwu::kfw::TransferZVDataAction;
using fwu::test::pkg::fixedID;
using fwu::test::pkg::makeBlob;
using fwu::test::pkg::makeMStar;
using fwu::test::pkg::makeTransfer;
using fwu::test::pkg::makeZV;
using fwu::test::pkg::TestPackage;

TEST(Action, TypeNamesAreExactAndCaseSensitive) {
    struct Case {
        uint32_t type;
        const char* name;
    };
    const Case named[] = {
        {1, "TransferData"},
        {2, "TransferMStarData"},
        {3, "TransferZVData"},
    };
    for (const Case& c : named) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Action::toString(static_cast<Action::Type>(c.type)), c.name);
        EXPECT_EQ(Action::toType(c.name), c.type);
    }
    EXPECT_EQ(Action::toString(Action::TypeNone), "");
    EXPECT_EQ(Action::toString(static_cast<Action::Type>(4)), "");

    const char* unknown[] = {"",
                             "transferdata",
                             "TRANSFERDATA",
                             "TransferMstarData",
                             "TransferZvData",
                             "TransferData ",
                             " TransferData",
                             "Transfer",
                             "TransferDataX"};
    for (const char* text : unknown) {
        SCOPED_TRACE(std::string("\"") + text + "\"");
        EXPECT_EQ(Action::toType(text), Action::TypeNone);
    }
}

TEST(Action, NewActionMakesTheClassOfItsType) {
    EXPECT_EQ(Action::newAction(Action::TypeNone), nullptr);
    EXPECT_EQ(Action::newAction(static_cast<Action::Type>(4)), nullptr);

    const auto data = Action::newAction(Action::TypeTransferData);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->type(), Action::TypeTransferData);
    EXPECT_NE(dynamic_cast<TransferDataAction*>(data.get()), nullptr);

    const auto mstar = Action::newAction(Action::TypeTransferMStarData);
    ASSERT_NE(mstar, nullptr);
    EXPECT_EQ(mstar->type(), Action::TypeTransferMStarData);
    EXPECT_NE(dynamic_cast<TransferMStarDataAction*>(mstar.get()), nullptr);

    const auto zv = Action::newAction(Action::TypeTransferZVData);
    ASSERT_NE(zv, nullptr);
    EXPECT_EQ(zv->type(), Action::TypeTransferZVData);
    EXPECT_NE(dynamic_cast<TransferZVDataAction*>(zv.get()), nullptr);

    // Fresh actions: own random IDs, no estimate, no blob.
    EXPECT_NE(data->id(), mstar->id());
    EXPECT_FALSE(data->id().empty());
    EXPECT_EQ(data->estimatedTime(), 0u);
    EXPECT_TRUE(static_cast<TransferDataAction&>(*data).blobID().empty());
}

// Whether two actions hold the same content. The ID never counts; every other field does, and
// actions of different kinds never compare equal even when their shared fields agree.
TEST(Action, EqualComparesTypeEstimateAndTransferFields) {
    const Uuid blob = fixedID(1), other = fixedID(2);
    using Make = std::function<std::unique_ptr<Action>()>;
    struct Case {
        const char* what;
        Make a;
        Make b;
        bool equal;
    };
    const Case cases[] = {
        {"data: same", [&] { return makeTransfer(blob, "PRG000", 5); },
         [&] { return makeTransfer(blob, "PRG000", 5); }, true},
        {"data: file name", [&] { return makeTransfer(blob, "PRG000"); },
         [&] { return makeTransfer(blob, "PRG001"); }, false},
        {"data: file name case", [&] { return makeTransfer(blob, "PRG000"); },
         [&] { return makeTransfer(blob, "prg000"); }, false},
        {"data: blob", [&] { return makeTransfer(blob, "PRG000"); },
         [&] { return makeTransfer(other, "PRG000"); }, false},
        {"data: estimate", [&] { return makeTransfer(blob, "PRG000", 5); },
         [&] { return makeTransfer(blob, "PRG000", 6); }, false},
        {"mstar: same", [&] { return makeMStar(blob, 0x1000, 0x2000); },
         [&] { return makeMStar(blob, 0x1000, 0x2000); }, true},
        {"mstar: address", [&] { return makeMStar(blob, 0x1000, 0x2000); },
         [&] { return makeMStar(blob, 0x1001, 0x2000); }, false},
        {"mstar: update flag address", [&] { return makeMStar(blob, 0x1000, 0x2000); },
         [&] { return makeMStar(blob, 0x1000, 0x2001); }, false},
        {"mstar: blob", [&] { return makeMStar(blob, 0x1000, 0x2000); },
         [&] { return makeMStar(other, 0x1000, 0x2000); }, false},
        {"mstar: estimate", [&] { return makeMStar(blob, 0x1000, 0x2000, 1); },
         [&] { return makeMStar(blob, 0x1000, 0x2000, 2); }, false},
        {"zv: same", [&] { return makeZV(blob, 0x30000); }, [&] { return makeZV(blob, 0x30000); },
         true},
        {"zv: address", [&] { return makeZV(blob, 0x30000); },
         [&] { return makeZV(blob, 0x40000); }, false},
        {"zv: blob", [&] { return makeZV(blob, 0x30000); }, [&] { return makeZV(other, 0x30000); },
         false},
        {"zv: estimate", [&] { return makeZV(blob, 0x30000, 1); },
         [&] { return makeZV(blob, 0x30000, 0); }, false},
        {"mstar vs zv, same blob and address", [&] { return makeMStar(blob, 0x1000, 0); },
         [&] { return makeZV(blob, 0x1000); }, false},
        {"data vs zv, same blob", [&] { return makeTransfer(blob, ""); },
         [&] { return makeZV(blob, 0); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto a = c.a();
        const auto b = c.b();
        EXPECT_EQ(a->equal(b.get()), c.equal);
        EXPECT_EQ(b->equal(a.get()), c.equal);
        EXPECT_FALSE(a->equal(nullptr));
    }
}

TEST(Action, PlainActionEqualityIsTypeAndEstimate) {
    Action a(Action::TypeTransferData), b(Action::TypeTransferData), c(Action::TypeTransferZVData);
    EXPECT_TRUE(a.equal(&b));
    EXPECT_FALSE(a.equal(&c));
    b.setEstimatedTime(9);
    EXPECT_FALSE(a.equal(&b));
}

TEST(Action, TransferIsValidOnlyWhenItsBlobIsInTheFile) {
    TestPackage file;
    const fwu::kfw::Blob* blob = file.registerBlob(makeBlob({1, 2, 3}));
    ASSERT_NE(blob, nullptr);

    const std::unique_ptr<Action> actions[] = {
        makeTransfer(blob->id(), "PRG000"),
        makeMStar(blob->id(), 0, 0),
        makeZV(blob->id(), 0),
    };
    for (const auto& action : actions) {
        SCOPED_TRACE(Action::toString(action->type()));
        EXPECT_TRUE(action->isValid(&file));
        EXPECT_FALSE(action->isValid(nullptr));
        action->setID(Uuid());
        EXPECT_FALSE(action->isValid(&file)) << "an empty ID is never valid";
    }

    EXPECT_FALSE(makeTransfer(fixedID(9), "PRG000")->isValid(&file));
    EXPECT_FALSE(makeMStar(fixedID(9), 0, 0)->isValid(&file));
    EXPECT_FALSE(makeZV(fixedID(9), 0)->isValid(&file));

    // The plain base needs no blob.
    EXPECT_TRUE(Action(Action::TypeTransferData).isValid(nullptr));
}

}  // namespace
