#pragma once
// Tests that set texts of the process-wide configuration: the fixture puts them back afterwards.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "backend/ConfigurationManager.h"

class ConfigFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    m_saved = {m_config->m_localeCode, m_config->m_productName, m_config->m_productFlow, m_config->m_channel,
               m_config->m_configUrl};
  }
  void TearDown() override {
    m_config->m_localeCode = m_saved[0];
    m_config->m_productName = m_saved[1];
    m_config->m_productFlow = m_saved[2];
    m_config->m_channel = m_saved[3];
    m_config->m_configUrl = m_saved[4];
  }

  std::shared_ptr<ConfigurationManager> m_config = ConfigurationManager::GetInstance();
  std::vector<std::wstring> m_saved;
};
