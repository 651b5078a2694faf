#pragma once

#include "unit/store/OfficeFixture.h"

#include "official/OfficialRules.h"

#include <memory>

namespace tav::test {

// A new office with the official-request rules bound and one requesting court (organisation 1), ready to
// take official requests.
class CourtOfficeFixture : public OfficeFixture
{
protected:
    void SetUp() override
    {
        OfficeFixture::SetUp();
        startDm();
        rules = std::make_unique<official::OfficialRules>(*dm);
        dm->programVersion = "2.32";
        dm->postConfirmed = true;
        dm->org->insert();
        dm->org->field("X_ORG").setValue("JUZGADO FEDERAL 1");
        dm->org->field("X_DOM").setValue("AV. SIEMPREVIVA 742");
        dm->org->field("X_LOC").setValue("CORDOBA");
        dm->org->field("C_PROV").setValue(4);
        dm->org->field("C_CODPOS").setValue(5000);
        ASSERT_TRUE(dm->org->post());
    }

    std::unique_ptr<official::OfficialRules> rules;
};

} // namespace tav::test
