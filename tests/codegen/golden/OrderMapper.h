// Create Time:  <TIME>

#pragma once
#include "DAO.h"
#include "Mapper.h"
namespace MeridianSpace
{
	//////////////////////////////////////////////////////////////////////////
	class OrderMapper :	public subDBMapper
	{
	public:
		OrderMapper();
		~OrderMapper();

		virtual int doSave(ITableData& tableData, DAO* pdao);

		virtual DAO* doLoad(ITableData& qd);
	};
}
