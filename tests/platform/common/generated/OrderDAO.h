// clang-format off
// A class written the way the code generator writes one: it checks that the
// platform headers offer every name generated code uses, unqualified.

#pragma once
#include "DAO.h"

namespace MeridianSpace
{
	/// orders
	class OrderDAO :	public  subDBDAO 
	{
	public:
		 string 		_title;		///<title
		 int 		_qty;		///<quantity

		ARX OrderDAO();
		virtual ARX ~OrderDAO();


		ARX virtual Mapper* createMapper();
		ARX static DAO* createObject();


		ARX ResultMsg saveData( double * pdata,  int dataSize);


		static ResultMsg  ARX FindByQtyOrTitle( int mqty, string mtitle, list<OrderDAO*>&newlist);

		ResultMsg  ARX DelByQty( int mqty, int commitType = COMMIT_T_IMMEDIATELY);
	};
}
